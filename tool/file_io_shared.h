// Helpers of file_io_posix.cpp and file_io_windows.cpp, written once (file_io_shared.cpp).
#pragma once

#include <cstddef>
#include <string>

#include "file_io.h"

// What separates the parts of a path: "/", and on Windows "\\" as well.
extern const char* const kSeparators;
// The longest file name most file systems take: 255 bytes (or UTF-16 units on Windows).
inline constexpr std::size_t kMaxNameBytes = 255;

// "larger than ...": what a file over `limit` bytes is told.
std::string TooLarge(std::size_t limit);

// Standard input, read to its end or past `limit`. Returns what failed, or "".
std::string ReadStdin(std::string& bytes, std::size_t limit);

// The temporary file beside `target` for a set: TARGET.tmp-PID-N, or where that name
// would pass the longest name a folder takes, a name as long as the target's own.
std::string TemporaryName(const std::string& target, int pid, int attempt);
