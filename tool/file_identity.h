// Files as the file system knows them: whether a name exists, a folder's programs, a path
// made full, and whether two names are one file. Asked of Windows (file_identity_windows.cpp); elsewhere
// (file_identity_none.cpp) no file is seen and no two are one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether a file or folder `name` exists, relative names from the current folder, asked
// as the launcher asks (for several names at a quoted %s). Elsewhere none is found.
bool NameExistsHere(std::string_view name);

// Whether `path` is a folder; the .exe files in it by full path, in name order (none
// where it is no folder). Elsewhere none is found.
bool IsFolder(const std::string& path);
std::vector<std::string> ProgramsIn(const std::string& folder);

// A file's identity: its volume and its index there, the same whatever name or spelling
// leads to it (links, short names, \\?\, "." and ".."); 0 and 0 where it cannot be read.
struct FileId {
  unsigned long volume = 0;
  unsigned long long index = 0;
  bool operator==(const FileId& other) const { return volume == other.volume && index == other.index; }
};
FileId IdOfFile(const std::string& path);
// The identity of the file that an open Windows handle (a HANDLE) reads.
FileId IdOfOpenFile(void* handle);

// `path` as a full path, read from the current folder as Windows reads it; elsewhere as it is.
std::string FullPathOf(const std::string& path);

// Whether `a` and `b` are one file: the same identity, or, where either does not exist
// (yet), the same full path as Windows compares names.
bool SameFile(const std::string& a, const std::string& b);
