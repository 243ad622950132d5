// Reading and replacing files with the Win32 calls. Names come and go as UTF-8, whatever
// the system's code page, and are handed to Windows as UTF-16.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "file_io.h"
#include "windows_handles.h"
#include "windows_text.h"

namespace {

std::string LastError() { return ErrorText(GetLastError()); }

OwnedHandle Open(const std::wstring& longPath, DWORD access, DWORD share, DWORD disposition) {
  if (longPath.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return OwnedHandle();
  }
  return OwnFile(CreateFileW(longPath.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

wchar_t gTemporary[32768];  // the temporary file being written, for the Ctrl+C handler; empty while none

BOOL WINAPI RemoveTemporary(DWORD) {
  if (gTemporary[0] != L'\0') DeleteFileW(gTemporary);
  return FALSE;  // and end as usual
}

}  // namespace

const char* const kSeparators = "\\/";
namespace {

// Reads the open `file` whole, refusing it past `limit` bytes (and, with `regularOnly`,
// anything but a disk file).
std::string ReadOpenFile(HANDLE file, std::string& bytes, std::size_t limit, bool regularOnly) {
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
  return error;
}

// Opens `path` for reading with `share`, refusing a folder or a device name.
OwnedHandle OpenToRead(const std::string& path, DWORD share, std::string& error) {
  const std::wstring longPath = LongPath(path);
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (longPath.empty() || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    error = "not a regular file";
    return OwnedHandle();
  }
  OwnedHandle file = Open(longPath, GENERIC_READ, share, OPEN_EXISTING);
  if (!file)
    error = GetLastError() == ERROR_SHARING_VIOLATION && !(share & FILE_SHARE_WRITE)
                ? "cannot hold the file unchanged while it runs: another program has it open for writing"
                : "cannot read: " + LastError();
  return file;
}

}  // namespace

std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly) {
  if (path == "-") return ReadStdin(bytes, limit);
  std::string error;
  const OwnedHandle file = OpenToRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE, error);
  if (!file) return error;
  return ReadOpenFile(file.get(), bytes, limit, regularOnly);
}

void CloseHeldFile(void* handle) { CloseHandle(handle); }

// Shared for reading alone: a writer, a rename over it or a delete is refused while held.
std::string ReadAndHoldFile(const std::string& path, std::string& bytes, std::size_t limit, HeldFile& held) {
  std::string error;
  OwnedHandle file = OpenToRead(path, FILE_SHARE_READ, error);
  if (!file) return error;
  if (error = ReadOpenFile(file.get(), bytes, limit, true); !error.empty()) return error;
  held.handle_.Reset(file.Release());
  return "";
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
    const OwnedHandle file =
        OwnFile(CreateFileW(longPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!file) return "cannot follow the link: " + LastError();
    std::wstring resolved(32768, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file.get(), resolved.data(), static_cast<DWORD>(resolved.size()),
                                        FILE_NAME_NORMALIZED);
    DWORD error = GetLastError();
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
  OwnedHandle file;
  for (int attempt = 0; !file && attempt < 100; ++attempt) {
    longTemp = LongPath(TemporaryName(target, static_cast<int>(GetCurrentProcessId()), attempt));
    file = Open(longTemp, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW);
    if (!file && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!file) {
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
    if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) error = "cannot write: " + LastError();
  }
  if (error.empty() && !FlushFileBuffers(file.get())) error = "cannot write: " + LastError();
  // Closed here, and its failure said: a file whose last write failed on closing is no copy.
  if (!file.Close() && error.empty()) error = "cannot write: " + LastError();
  if (error.empty() &&
      !MoveFileExW(longTemp.c_str(), LongPath(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = "cannot replace the file: " + LastError();
  if (!error.empty()) DeleteFileW(longTemp.c_str());
  SetConsoleCtrlHandler(RemoveTemporary, FALSE);
  gTemporary[0] = L'\0';
  return error;
}
