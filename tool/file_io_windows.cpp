// Reading and replacing files with the Win32 calls. Names come and go as UTF-8, whatever
// the system's code page, and are handed to Windows as UTF-16.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "file_io_shared.h"
#include "windows_text.h"

namespace {

std::string LastError() { return ErrorText(GetLastError()); }

// The long-path form (\\?\C:\... or \\?\UNC\server\...) of a path, free of the
// 260-character limit; empty for a device such as NUL or CON.
std::wstring LongPath(const std::string& path) {
  std::wstring wide = Utf16(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.rfind(L"\\\\.\\", 0) == 0) return L"";
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE Open(const std::wstring& longPath, DWORD access, DWORD share, DWORD disposition) {
  if (longPath.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(longPath.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

wchar_t gTemporary[32768];  // the temporary file being written, for the Ctrl+C handler; empty while none

BOOL WINAPI RemoveTemporary(DWORD) {
  if (gTemporary[0] != L'\0') DeleteFileW(gTemporary);
  return FALSE;  // and end as usual
}

}  // namespace

const char* const kSeparators = "\\/";
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

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Utf16(path);
  std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  return full;
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

std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly) {
  if (path == "-") return ReadStdin(bytes, limit);
  std::wstring longPath = LongPath(path);
  DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (longPath.empty() || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)))
    return "not a regular file";
  HANDLE file = Open(longPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return "cannot read: " + LastError();
  std::string error;
  LARGE_INTEGER size{};
  if (regularOnly && GetFileType(file) != FILE_TYPE_DISK)
    error = "not a regular file";
  else if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) > limit)
    error = TooLarge(limit);
  bytes.clear();
  std::vector<char> buffer(65536);
  for (DWORD n = 0; error.empty();) {
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
      if (GetLastError() != ERROR_BROKEN_PIPE) error = "cannot read: " + LastError();  // a pipe's writer is done
      break;
    }
    if (n == 0) break;
    if (bytes.size() + n > limit)
      error = TooLarge(limit);
    else
      bytes.append(buffer.data(), n);
  }
  CloseHandle(file);
  return error;
}

std::string ReplaceableTarget(const std::string& path, std::string& target) {
  target = path;
  std::wstring longPath = LongPath(path);
  if (longPath.empty()) return "not a regular file";
  DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? "" : "cannot read: " + ErrorText(error);  // a missing one is written anew, or fails then
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // A link: the file it leads to is rewritten, in that file's own folder.
    HANDLE file = CreateFileW(longPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot follow the link: " + LastError();
    std::wstring resolved(32768, L'\0');
    DWORD n =
        GetFinalPathNameByHandleW(file, resolved.data(), static_cast<DWORD>(resolved.size()), FILE_NAME_NORMALIZED);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (n == 0 || n >= resolved.size()) return "cannot follow the link: " + ErrorText(error);
    resolved.resize(n);
    target = Utf8(resolved);
    attributes = GetFileAttributesW(resolved.c_str());
  }
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "not a regular file";
  if (attributes & FILE_ATTRIBUTE_READONLY) return "the file is read-only";
  return "";
}

std::string ReplaceWholeFile(const std::string& target, const std::string& bytes, const std::string&) {
  // The handler first, so that no Ctrl+C comes between the file's creation and its removal.
  gTemporary[0] = L'\0';
  SetConsoleCtrlHandler(RemoveTemporary, TRUE);
  std::wstring longTemp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    longTemp = LongPath(TemporaryName(target, static_cast<int>(GetCurrentProcessId()), attempt));
    file = Open(longTemp, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    std::string error = "cannot write: " + LastError();
    SetConsoleCtrlHandler(RemoveTemporary, FALSE);
    return error;
  }
  std::wcsncpy(gTemporary, longTemp.c_str(), 32767);

  // Windows files carry no permission bits to keep; their access rights come from the folder.
  std::string error;
  DWORD written = 0;
  for (std::size_t done = 0; error.empty() && done < bytes.size(); done += written) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) error = "cannot write: " + LastError();
  }
  if (error.empty() && !FlushFileBuffers(file)) error = "cannot write: " + LastError();
  if (!CloseHandle(file) && error.empty()) error = "cannot write: " + LastError();
  if (error.empty() &&
      !MoveFileExW(longTemp.c_str(), LongPath(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = "cannot replace the file: " + LastError();
  if (!error.empty()) DeleteFileW(longTemp.c_str());
  SetConsoleCtrlHandler(RemoveTemporary, FALSE);
  gTemporary[0] = L'\0';
  return error;
}
