// Text between the tool's UTF-8 and Windows (windows_text.cpp): UTF-16 names and
// command lines, and Windows' own words for an error. Windows only.
#pragma once

#include <string>

std::wstring Utf16(const std::string& utf8);
std::string Utf8(const std::wstring& utf16);

// Windows' own words for its error `error`.
std::string ErrorText(unsigned long error);
