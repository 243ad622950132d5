// Whole-file reading and writing that never leaves a half-written file behind. One
// implementation per system: file_io_posix.cpp, file_io_windows.cpp; what both do alike
// in file_io_shared.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bounds on what is read: well above any launcher, and above any template file.
inline constexpr std::size_t kMaxExecutableSize = std::size_t{256} << 20;
inline constexpr std::size_t kMaxTemplateFileSize = 4096;

// Only Windows sees its files: elsewhere none is found, and no two are the same.
extern const bool kSeesWindowsFiles;
// Whether a file or folder `name` exists, relative names from the current folder, asked
// as the launcher asks (for several names at a quoted %s). Elsewhere none is found.
bool NameExistsHere(std::string_view name);

// The full path of the program file Windows starts for `name` (its extension as Windows
// adds it): a full path, or one from the current folder (.\, ..\, D:), where it points;
// any other name in `launcherFolder`, the current folder, the system folders, then each
// folder on PATH; with no launcher folder, as cmd.exe looks for a batch file: in the
// current folder, then on PATH. "" when no such file exists.
std::string FindProgramFile(const std::string& name, const std::string& launcherFolder);

// A file's identity: its volume and its index there, the same whatever name or spelling
// leads to it (links, short names, \\?\, "." and ".."); 0 and 0 where it cannot be read.
struct FileId {
  unsigned long volume = 0;
  unsigned long long index = 0;
  bool operator==(const FileId& other) const { return volume == other.volume && index == other.index; }
};
FileId IdOfFile(const std::string& path);
// The identity of the file that an open Windows handle (a HANDLE) reads.
FileId IdOfOpenFile(void* handle);

// `path` as a full path, read from the current folder as Windows reads it; elsewhere as it is.
std::string FullPathOf(const std::string& path);

// Whether `a` and `b` are one file: the same identity, or, where either does not exist
// (yet), the same full path.
bool SameFile(const std::string& a, const std::string& b);

// Reads the whole file ("-": standard input) into `bytes`, refusing one larger than
// `limit` bytes and, with `regularOnly`, anything but a regular file (a FIFO, a device),
// unread; without it, a FIFO is read as standard input is, waiting for its writer.
// Returns what failed, or "".
std::string ReadWholeFile(const std::string& path, std::string& bytes, std::size_t limit, bool regularOnly);

// Where replacing `path` writes: the file a symbolic link `path` leads to, else `path`.
// Returns what forbids replacing it (not a regular file, read-only), or "" with
// `target` set; a `path` that does not exist yet may be written.
std::string ReplaceableTarget(const std::string& path, std::string& target);

// Writes `bytes` to `target` (from ReplaceableTarget) through a temporary file in the
// same folder, flushed and then renamed over it (atomic on one volume). The new file
// keeps the permission bits, and where the system allows the owner and group, of the
// file it replaces, or of `likeFile` when there was none (the group alone where only that
// may be given). On failure (a file-size limit among them), Ctrl+C, SIGTERM, SIGHUP or
// SIGQUIT the temporary file is removed and `target` is untouched; a signal that was
// ignored stays ignored. Returns what failed, or "".
std::string ReplaceWholeFile(const std::string& target, const std::string& bytes, const std::string& likeFile);
