// Whole-file reading and writing that never leaves a half-written file behind.
#pragma once

#include <cstddef>
#include <string>

// Bounds on what is read: well above any launcher, and above any template file.
inline constexpr std::size_t kMaxExecutableSize = std::size_t{256} << 20;
inline constexpr std::size_t kMaxTemplateFileSize = 4096;

// Puts the standard streams in binary mode, so that what is printed is printed byte for
// byte, on Windows as elsewhere (no "\r" added before each "\n").
void UseBinaryStdio();

// Reads the whole file ("-": standard input) into `bytes`, refusing one larger than
// `limit` bytes and, with `regularOnly`, anything but a regular file (a FIFO, a device),
// unread. Returns what failed, or "".
std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly);

// Where replacing `path` writes: the file a symbolic link `path` leads to, else `path`.
// Returns what forbids replacing it (not a regular file, read-only), or "" with
// `target` set; a `path` that does not exist yet may be written.
std::string ReplaceableTarget(const std::string& path, std::string& target);

// Writes `bytes` to `target` (from ReplaceableTarget) through a temporary file in the
// same folder, flushed and then renamed over it (atomic on one volume). The new file
// keeps the permission bits, and where the system allows the owner and group, of the
// file it replaces, or of `likeFile` when there was none. On failure, Ctrl+C or SIGTERM
// the temporary file is removed and `target` is untouched. Returns what failed, or "".
std::string ReplaceWholeFile(const std::string& target, const std::string& bytes, const std::string& likeFile);
