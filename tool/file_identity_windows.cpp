// Files as Windows knows them: their attributes, full paths and identities.
#include <windows.h>

#include "file_identity.h"
#include "windows_handles.h"
#include "windows_text.h"

bool NameExistsHere(std::string_view name) {
  return GetFileAttributesW(Utf16(std::string(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
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
