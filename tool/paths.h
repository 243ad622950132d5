// Paths as text: their folder and file name, ".exe" dropped, and two spellings compared as
// Windows compares paths (case, beyond ASCII, and the two separators folded). Portable.
#pragma once

#include <string>
#include <string_view>

// The folder of a path, with its last separator (\ or /); "" where it has none.
std::string FolderOf(std::string_view path);
// The file name at the end of a path, after its last separator.
std::string FileNameOf(std::string_view path);
// `name` without a trailing ".exe" (in any case).
std::string WithoutExe(std::string_view name);

// Whether `a` and `b` spell one path (C:\Tools\a.exe, c:/tools/A.EXE): for names that need
// not exist, such as a launcher's path in a record. file_identity.h's SameFile asks the
// file system instead, for files that do.
bool SamePath(std::string_view a, std::string_view b);
