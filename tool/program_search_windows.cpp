// Which program Windows starts for a name, asked of Windows itself.
#include <windows.h>

#include "program_search.h"
#include "windows_text.h"

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
