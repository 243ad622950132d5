// Reading and replacing files with the POSIX calls.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file_io.h"

namespace {

std::string SystemError() { return std::strerror(errno); }

// The temporary file being written, for the signal handler; empty while there is none.
char gTemporary[PATH_MAX + 64];

extern "C" void RemoveTemporary(int signal) {
  if (gTemporary[0] != '\0') unlink(gTemporary);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// While it lives, the signals that end a program remove the temporary file first. A
// signal that our caller ignores (nohup, trap '' INT) stays ignored. A file-size limit
// (SIGXFSZ) is ignored, so that the write fails and is reported like any other.
class RemovedOnSignals {
 public:
  RemovedOnSignals() {
    gTemporary[0] = '\0';
    struct sigaction action {};
    action.sa_handler = RemoveTemporary;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kCount; ++i) {
      sigaction(kSignals[i], nullptr, &saved_[i]);
      if (saved_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &savedSizeLimit_);
  }
  ~RemovedOnSignals() {
    for (std::size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    sigaction(SIGXFSZ, &savedSizeLimit_, nullptr);
    gTemporary[0] = '\0';
  }

  // Creates the temporary file with the signals held back, so that none comes between
  // its creation and its being known to the handler. Returns the descriptor, or -1.
  int Create(const std::string& target, std::string& temp) {
    sigset_t all, before;
    sigemptyset(&all);
    for (int s : kSignals) sigaddset(&all, s);
    sigprocmask(SIG_BLOCK, &all, &before);
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
      temp = TemporaryName(target, static_cast<int>(getpid()), attempt);
      fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno != EEXIST) break;
    }
    int error = errno;
    if (fd >= 0) std::snprintf(gTemporary, sizeof gTemporary, "%s", temp.c_str());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
  }

 private:
  static constexpr std::size_t kCount = 4;
  static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  struct sigaction saved_[kCount];
  struct sigaction savedSizeLimit_;
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

const char* const kSeparators = "/";

std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly) {
  if (path == "-") return ReadStdin(bytes, limit);
  // Not blocking on open: a FIFO with no writer is refused where only a regular file
  // will do; where any file will, it is then opened again and waited for, as standard
  // input is (a shell's <(...) among them).
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot read: " + SystemError();
  struct stat info {};
  std::string error;
  if (fstat(fd, &info) != 0)
    error = "cannot read: " + SystemError();
  else if (regularOnly && !S_ISREG(info.st_mode))
    error = "not a regular file";
  else if (S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) > limit)
    error = TooLarge(limit);
  else if (S_ISFIFO(info.st_mode)) {
    close(fd);
    while ((fd = open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
    }
    if (fd < 0) return "cannot read: " + SystemError();
  } else {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  bytes.clear();
  std::vector<char> buffer(65536);
  while (error.empty()) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      error = "cannot read: " + SystemError();
    else if (n == 0)
      break;
    else if (bytes.size() + static_cast<std::size_t>(n) > limit)
      error = TooLarge(limit);
    else
      bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
  close(fd);
  return error;
}

void CloseHeldFile(void*) {}

// Nothing runs a launcher here: there is nothing to hold it against.
std::string ReadAndHoldFile(const std::string& path, std::string& bytes, std::size_t limit, HeldFile&) {
  return ReadWholeFile(path, bytes, limit, true);
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
  RemovedOnSignals removed;
  std::string temp;
  int fd = removed.Create(target, temp);
  if (fd < 0) return "cannot write: " + SystemError();

  struct stat like {};
  if (stat(target.c_str(), &like) == 0 || stat(likeFile.c_str(), &like) == 0) {
    // The owner and group where we may give them; else the group alone, which a member
    // of that group may give.
    if (fchown(fd, like.st_uid, like.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), like.st_gid) != 0) {
      // Neither is ours to give: the new file stays ours.
    }
    fchmod(fd, like.st_mode & 07777);
  }
  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  std::string error = written ? "" : "cannot write: " + SystemError();
  if (close(fd) != 0 && error.empty()) error = "cannot write: " + SystemError();
  if (error.empty() && std::rename(temp.c_str(), target.c_str()) != 0)
    error = "cannot replace the file: " + SystemError();
  if (!error.empty()) unlink(temp.c_str());
  return error;
}
