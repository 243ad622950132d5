// Text between the tool's UTF-8 and Windows (windows_text.cpp): UTF-16 names and
// command lines, paths as Windows reads them, and Windows' own words for an error.
// Windows only.
#pragma once

#include <string>

std::wstring Utf16(const std::string& utf8);
std::string Utf8(const std::wstring& utf16);

// Windows' own words for its error `error`.
std::string ErrorText(unsigned long error);

// `path` as a full path, read from the current folder as Windows reads it.
std::wstring FullPath(const std::string& path);

// The long-path form (\\?\C:\... or \\?\UNC\server\...) of a path, free of the
// 260-character limit; empty for a device such as NUL or CON.
std::wstring LongPath(const std::string& path);
