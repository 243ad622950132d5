// Whole-file reading and writing that never leaves a half-written file behind. One
// implementation per system: file_io_posix.cpp, file_io_windows.cpp; what both do alike
// in file_io.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "owned.h"

// Bounds on what is read: well above any launcher, and above any template file.
inline constexpr std::size_t kMaxExecutableSize = std::size_t{256} << 20;
inline constexpr std::size_t kMaxTemplateFileSize = 4096;

// Reads the whole file ("-": standard input) into `bytes`, refusing one larger than
// `limit` bytes and, with `regularOnly`, anything but a regular file (a FIFO, a device),
// unread; without it, a FIFO is read as standard input is, waiting for its writer.
// Returns what failed, or "".
[[nodiscard]] std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit,
                                        bool regularOnly);

// A file kept open so that nobody can write, rename or delete it while we hold it: what
// check runs is the file it read. Windows only; elsewhere nothing is held.
void CloseHeldFile(void* handle);  // gives a held file back (nothing elsewhere)
class HeldFile {
 public:
  void* handle() const { return handle_.get(); }  // a Windows HANDLE, or nullptr

 private:
  friend std::string ReadAndHoldFile(const std::string&, std::string&, std::size_t, HeldFile&);
  Owned<void*, CloseHeldFile> handle_;
};

// Reads the regular file `path` whole as ReadWholeFile does and keeps it open in `held`,
// denying writes and deletes to everyone until `held` ends. Refuses a file that someone
// has open for writing (it could change under us). Returns what failed, or "".
[[nodiscard]] std::string ReadAndHoldFile(const std::string& path, std::string& bytes, std::size_t limit,
                                          HeldFile& held);

// Where replacing `path` writes: the file a symbolic link `path` leads to, else `path`.
// Returns what forbids replacing it (not a regular file, read-only), or "" with
// `target` set; a `path` that does not exist yet may be written.
[[nodiscard]] std::string ReplaceableTarget(const std::string& path, std::string& target);

// Writes `bytes` to `target` (from ReplaceableTarget) through a temporary file in the
// same folder, flushed and then renamed over it (atomic on one volume). The new file
// keeps the permission bits, and where the system allows the owner and group, of the
// file it replaces, or of `likeFile` when there was none (the group alone where only that
// may be given). On failure (a file-size limit among them), Ctrl+C, SIGTERM, SIGHUP or
// SIGQUIT the temporary file is removed and `target` is untouched; a signal that was
// ignored stays ignored. Returns what failed, or "".
[[nodiscard]] std::string ReplaceWholeFile(const std::string& target, const std::string& bytes,
                                           const std::string& likeFile);

// What both systems' files share (file_io.cpp).

// What separates the parts of a path: "/", and on Windows "\\" as well.
extern const char* const kSeparators;
// The longest file name most file systems take: 255 bytes (or UTF-16 units on Windows).
inline constexpr std::size_t kMaxNameBytes = 255;

// "larger than ...": what a file over `limit` bytes is told.
std::string TooLarge(std::size_t limit);

// Standard input, read to its end or past `limit`. Returns what failed, or "".
[[nodiscard]] std::string ReadStdin(std::string& bytes, std::size_t limit);

// The temporary file beside `target` for a set: TARGET.tmp-PID-N, or where that name
// would pass the longest name a folder takes, a name as long as the target's own.
std::string TemporaryName(const std::string& target, int pid, int attempt);
