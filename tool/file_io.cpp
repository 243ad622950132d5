#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string SystemError() { return std::strerror(errno); }

#ifdef _WIN32
constexpr int kCreateFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
int OpenNew(const std::string& path) { return _open(path.c_str(), kCreateFlags, _S_IREAD | _S_IWRITE); }
int Flush(int fd) { return _commit(fd); }
int Pid() { return _getpid(); }
bool WriteAll(int fd, const std::string& bytes) {
  return _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
}
int CloseFd(int fd) { return _close(fd); }
void KeepMode(int, const std::string&) {}  // Windows files carry no permission bits to keep
bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
std::string RenameError() { return "error " + std::to_string(GetLastError()); }
#else
int OpenNew(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }
int Flush(int fd) { return fsync(fd); }
int Pid() { return static_cast<int>(getpid()); }
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
int CloseFd(int fd) { return close(fd); }
void KeepMode(int fd, const std::string& modeFrom) {
  struct stat info {};
  if (stat(modeFrom.c_str(), &info) == 0) fchmod(fd, info.st_mode & 07777);
}
bool Rename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
std::string RenameError() { return SystemError(); }
#endif

}  // namespace

void UseBinaryStdio() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

std::string ReadWholeFile(const std::string& path, std::string& bytes) {
  std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!in) return "cannot read: " + SystemError();
  bytes.clear();
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  bool failed = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  return failed ? "cannot read: " + SystemError() : "";
}

std::string ReplaceWholeFile(const std::string& path, const std::string& bytes, const std::string& modeFrom) {
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = path + ".tmp-" + std::to_string(Pid()) + "-" + std::to_string(attempt);
    fd = OpenNew(temp);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return "cannot write: " + SystemError();

  KeepMode(fd, modeFrom);
  bool written = WriteAll(fd, bytes) && Flush(fd) == 0;
  std::string error = written ? "" : "cannot write: " + SystemError();
  if (CloseFd(fd) != 0 && error.empty()) error = "cannot write: " + SystemError();
  if (error.empty() && !Rename(temp, path)) error = "cannot replace the file: " + RenameError();
  if (!error.empty()) std::remove(temp.c_str());
  return error;
}
