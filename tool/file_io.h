// Whole-file reading and writing that never leaves a half-written file behind.
#pragma once

#include <string>

// Puts the standard streams in binary mode, so that what is printed is printed byte for
// byte, on Windows as elsewhere (no "\r" added before each "\n").
void UseBinaryStdio();

// Reads the whole file ("-": standard input) into `bytes`; returns what failed, or "".
std::string ReadWholeFile(const std::string& path, std::string& bytes);

// Writes `bytes` to `path` through a temporary file in the same folder, flushed and then
// renamed over `path` (atomic on one volume), with the permission bits of `modeFrom`
// (when it exists). On failure the temporary file is removed and `path` is untouched.
// Returns what failed, or "".
std::string ReplaceWholeFile(const std::string& path, const std::string& bytes, const std::string& modeFrom);
