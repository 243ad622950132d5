// Files as Windows knows them: their attributes, full paths and identities.
#include <windows.h>

#include <algorithm>

#include "file_identity.h"
#include "windows_handles.h"
#include "windows_text.h"

bool NameExistsHere(std::string_view name) {
  return GetFileAttributesW(Utf16(std::string(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Utf16(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ProgramsIn(const std::string& folder) {
  const std::string within = folder + (folder.find_last_of("\\/") + 1 == folder.size() ? "" : "\\");
  std::vector<std::string> programs;
  WIN32_FIND_DATAW found;
  const HANDLE first = FindFirstFileW(Utf16(within + "*.exe").c_str(), &found);
  const Owned<HANDLE, FindClose> search(first == INVALID_HANDLE_VALUE ? nullptr : first);
  if (!search) return programs;
  do
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) programs.push_back(within + Utf8(found.cFileName));
  while (FindNextFileW(search.get(), &found));
  std::sort(programs.begin(), programs.end());
  return programs;
}

FileId IdOfOpenFile(void* handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return {};
  return {info.dwVolumeSerialNumber, static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

FileId IdOfFile(const std::string& path) {
  const OwnedHandle file =
      OwnFile(CreateFileW(LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return IdOfOpenFile(file.get());
}

std::string FullPathOf(const std::string& path) { return Utf8(FullPath(path)); }

bool SameFile(const std::string& a, const std::string& b) {
  const FileId idA = IdOfFile(a), idB = IdOfFile(b);
  if (idA.index != 0 && idB.index != 0) return idA == idB;
  return CompareStringOrdinal(FullPath(a).c_str(), -1, FullPath(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}
