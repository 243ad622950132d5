// Whole-file reading and writing that never leaves a half-written file behind.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// Bounds on what is read: well above any launcher, and above any template file.
inline constexpr std::size_t kMaxExecutableSize = std::size_t{256} << 20;
inline constexpr std::size_t kMaxTemplateFileSize = 4096;

#ifdef _WIN32
// Windows' UTF-16 names and command line, to and from the UTF-8 the tool works in.
std::wstring Utf16(const std::string& utf8);
std::string Utf8(const std::wstring& utf16);

// Windows' own words for its error `error`.
std::string ErrorText(unsigned long error);
#endif

// The arguments after the program's name, as UTF-8: on Windows read from the UTF-16
// command line, so that no character outside the ANSI code page is lost on the way in.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The system's ANSI code page where it is not UTF-8 (a launcher there reads a template's
// non-ASCII bytes in it), else 0. Always 0 but on Windows.
unsigned LegacyCodePage();

// Whether a Windows file exists at `path` (for set --program). Only Windows sees its
// files: elsewhere none is found.
inline constexpr bool kSeesWindowsFiles =
#ifdef _WIN32
    true;
#else
    false;
#endif
bool FileExists(const std::string& path);

// Writes `text` (UTF-8) to `stream` (stdout or stderr) and flushes it: to a Windows
// console as UTF-16, so that every character shows whatever its code page; to a file or
// a pipe byte for byte. False when it could not be written whole.
bool WriteText(std::FILE* stream, const std::string& text);

// True when the program has a console of its own that no other process shares: it was
// started by a double-click, not from a prompt. Never elsewhere than on Windows.
bool StartedByDoubleClick();

// Waits until a key is pressed in the console.
void WaitForKey();

// Puts the standard streams in binary mode, so that what is printed is printed byte for
// byte, on Windows as elsewhere (no "\r" added before each "\n").
void UseBinaryStdio();

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
