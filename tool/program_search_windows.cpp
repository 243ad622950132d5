// Which program Windows starts, and whether two names are one file, asked of Windows itself.
#include <windows.h>

#include "program_search.h"
#include "windows_text.h"

const bool kSeesWindowsFiles = true;

bool NameExistsHere(std::string_view name) {
  return GetFileAttributesW(Utf16(std::string(name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

std::wstring Folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
  std::wstring folder(MAX_PATH, L'\0');
  folder.resize(get(folder.data(), MAX_PATH));
  return folder;
}

std::wstring CurrentFolder() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

std::wstring Variable(const wchar_t* name) {
  std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  return value;
}

}  // namespace

// SearchPathW reads a name as CreateProcess does: a full path, or one that begins with
// .\, ..\ or a drive, where it points, any other in the folders given.
std::string FindProgramFile(const std::string& name, const std::string& launcherFolder) {
  const std::wstring here = CurrentFolder() + L";";
  const std::wstring folders = launcherFolder.empty()
                                   ? here + Variable(L"PATH")
                                   : Utf16(launcherFolder) + L";" + here + Folder(GetSystemDirectoryW) + L";" +
                                         Folder(GetWindowsDirectoryW) + L";" + Variable(L"PATH");
  std::wstring found(32768, L'\0');
  DWORD n = SearchPathW(folders.c_str(), Utf16(name).c_str(), nullptr, static_cast<DWORD>(found.size()), found.data(),
                        nullptr);
  if (n == 0 || n >= found.size()) return "";
  found.resize(n);
  DWORD attributes = GetFileAttributesW(found.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? Utf8(found) : "";
}

FileId IdOfOpenFile(void* handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return {};
  return {info.dwVolumeSerialNumber, static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

FileId IdOfFile(const std::string& path) {
  HANDLE file = CreateFileW(LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const FileId id = IdOfOpenFile(file);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return id;
}

std::string FullPathOf(const std::string& path) { return Utf8(FullPath(path)); }

bool SameFile(const std::string& a, const std::string& b) {
  const FileId idA = IdOfFile(a), idB = IdOfFile(b);
  if (idA.index != 0 && idB.index != 0) return idA == idB;
  return CompareStringOrdinal(FullPath(a).c_str(), -1, FullPath(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}
