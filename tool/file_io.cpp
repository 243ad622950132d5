#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cwchar>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace {

std::string TooLarge(std::size_t limit) {
  return limit >= (std::size_t{1} << 20) ? "larger than " + std::to_string(limit >> 20) + " MiB, more than any launcher"
                                         : "larger than " + std::to_string(limit) + " bytes, more than any template";
}

// Standard input, read to its end or past `limit`.
std::string ReadStdin(std::string& bytes, std::size_t limit) {
  bytes.clear();
  char buffer[65536];
  for (std::size_t n; bytes.size() <= limit && (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
    bytes.append(buffer, n);
  if (std::ferror(stdin)) return std::string("cannot read: ") + std::strerror(errno);
  return bytes.size() > limit ? TooLarge(limit) : "";
}

std::string TemporaryName(const std::string& target, int pid, int attempt) {
  return target + ".tmp-" + std::to_string(pid) + "-" + std::to_string(attempt);
}

}  // namespace

#ifdef _WIN32

namespace {

// Windows' own words for its error.
std::string ErrorText(DWORD error) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(text ? text : "", n);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}
std::string LastError() { return ErrorText(GetLastError()); }

// The long-path form (\\?\C:\... or \\?\UNC\server\...) of a path in the ANSI code page,
// free of the 260-character limit; empty for a device such as NUL or CON.
std::wstring LongPath(const std::string& path) {
  int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
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

wchar_t gTemporary[32768];  // the temporary file being written, for the Ctrl+C handler

BOOL WINAPI RemoveTemporary(DWORD) {
  DeleteFileW(gTemporary);
  return FALSE;  // and end as usual
}

}  // namespace

void UseBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
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
  if (regularOnly && GetFileType(file) != FILE_TYPE_DISK) error = "not a regular file";
  else if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) > limit) error = TooLarge(limit);
  bytes.clear();
  std::vector<char> buffer(65536);
  for (DWORD n = 0; error.empty();) {
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) error = "cannot read: " + LastError();
    else if (n == 0) break;
    else if (bytes.size() + n > limit) error = TooLarge(limit);
    else bytes.append(buffer.data(), n);
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
    DWORD n = GetFinalPathNameByHandleW(file, resolved.data(), static_cast<DWORD>(resolved.size()), FILE_NAME_NORMALIZED);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (n == 0 || n >= resolved.size()) return "cannot follow the link: " + ErrorText(error);
    resolved.resize(n);
    int size = WideCharToMultiByte(CP_ACP, 0, resolved.data(), static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    target.assign(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, resolved.data(), static_cast<int>(n), target.data(), size, nullptr, nullptr);
    attributes = GetFileAttributesW(resolved.c_str());
  }
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "not a regular file";
  if (attributes & FILE_ATTRIBUTE_READONLY) return "the file is read-only";
  return "";
}

std::string ReplaceWholeFile(const std::string& target, const std::string& bytes, const std::string&) {
  std::wstring longTemp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    longTemp = LongPath(TemporaryName(target, static_cast<int>(GetCurrentProcessId()), attempt));
    file = Open(longTemp, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return "cannot write: " + LastError();
  std::wcsncpy(gTemporary, longTemp.c_str(), 32767);
  SetConsoleCtrlHandler(RemoveTemporary, TRUE);

  // Windows files carry no permission bits to keep; their access rights come from the folder.
  std::string error;
  DWORD written = 0;
  for (std::size_t done = 0; error.empty() && done < bytes.size(); done += written) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) error = "cannot write: " + LastError();
  }
  if (error.empty() && !FlushFileBuffers(file)) error = "cannot write: " + LastError();
  if (!CloseHandle(file) && error.empty()) error = "cannot write: " + LastError();
  if (error.empty() && !MoveFileExW(longTemp.c_str(), LongPath(target).c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = "cannot replace the file: " + LastError();
  if (!error.empty()) DeleteFileW(longTemp.c_str());
  SetConsoleCtrlHandler(RemoveTemporary, FALSE);
  return error;
}

#else

namespace {

std::string SystemError() { return std::strerror(errno); }

char gTemporary[PATH_MAX + 64];  // the temporary file being written, for the signal handler

extern "C" void RemoveTemporary(int signal) {
  unlink(gTemporary);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// Removes the temporary file when we are interrupted or ended while it exists.
class RemovedOnSignals {
 public:
  explicit RemovedOnSignals(const std::string& temp) {
    std::snprintf(gTemporary, sizeof gTemporary, "%s", temp.c_str());
    struct sigaction action {};
    action.sa_handler = RemoveTemporary;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &saved_[i]);
  }
  ~RemovedOnSignals() {
    for (std::size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }

 private:
  static constexpr std::size_t kCount = 3;
  static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction saved_[kCount];
};

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void UseBinaryStdio() {}

std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly) {
  if (path == "-") return ReadStdin(bytes, limit);
  // Not blocking on open: a FIFO with no writer is refused, not waited for.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot read: " + SystemError();
  struct stat info {};
  std::string error;
  if (fstat(fd, &info) != 0) error = "cannot read: " + SystemError();
  else if (regularOnly && !S_ISREG(info.st_mode)) error = "not a regular file";
  else if (S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) > limit) error = TooLarge(limit);
  else fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  bytes.clear();
  std::vector<char> buffer(65536);
  while (error.empty()) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = "cannot read: " + SystemError();
    else if (n == 0) break;
    else if (bytes.size() + static_cast<std::size_t>(n) > limit) error = TooLarge(limit);
    else bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
  close(fd);
  return error;
}

std::string ReplaceableTarget(const std::string& path, std::string& target) {
  target = path;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? "" : "cannot read: " + SystemError();
  if (S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return "cannot follow the link: " + SystemError();
    target = resolved;
    if (stat(resolved, &info) != 0) return "cannot read: " + SystemError();
  }
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if ((info.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0) return "the file is read-only";
  return "";
}

std::string ReplaceWholeFile(const std::string& target, const std::string& bytes, const std::string& likeFile) {
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = TemporaryName(target, static_cast<int>(getpid()), attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return "cannot write: " + SystemError();
  RemovedOnSignals removed(temp);

  struct stat like {};
  if (stat(target.c_str(), &like) == 0 || stat(likeFile.c_str(), &like) == 0) {
    if (fchown(fd, like.st_uid, like.st_gid) != 0) {
      // Not ours to give away: the new file stays ours.
    }
    fchmod(fd, like.st_mode & 07777);
  }
  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  std::string error = written ? "" : "cannot write: " + SystemError();
  if (close(fd) != 0 && error.empty()) error = "cannot write: " + SystemError();
  if (error.empty() && std::rename(temp.c_str(), target.c_str()) != 0) error = "cannot replace the file: " + SystemError();
  if (!error.empty()) unlink(temp.c_str());
  return error;
}

#endif
