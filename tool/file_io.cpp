// What reading and replacing files does alike on every system; the system's own calls
// are in file_io_posix.cpp and file_io_windows.cpp.
#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string TooLarge(std::size_t limit) {
  return limit >= (std::size_t{1} << 20) ? "larger than " + std::to_string(limit >> 20) + " MiB, more than any launcher"
                                         : "larger than " + std::to_string(limit) + " bytes, more than any template";
}

std::string ReadStdin(std::string& bytes, std::size_t limit) {
  bytes.clear();
  char buffer[65536];
  for (std::size_t n; bytes.size() <= limit && (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
    bytes.append(buffer, n);
  if (std::ferror(stdin)) return std::string("cannot read: ") + std::strerror(errno);
  return bytes.size() > limit ? TooLarge(limit) : "";
}

//   target                      temporary name
//   C:\Tools\opener.exe         C:\Tools\opener.exe.tmp-412-0
//   /x/NAME (250 bytes)         /x/ + NAME's first 238 bytes + .tmp-412-0 (250 bytes)
std::string TemporaryName(const std::string& target, int pid, int attempt) {
  const std::string suffix = ".tmp-" + std::to_string(pid) + "-" + std::to_string(attempt);
  std::size_t nameStart = target.find_last_of(kSeparators) + 1;  // npos + 1 == 0
  std::size_t nameLength = target.size() - nameStart;
  if (nameLength + suffix.size() <= kMaxNameBytes) return target + suffix;
  // A name that the suffix would make too long: as long as the name itself, its start
  // cut at a whole UTF-8 character.
  std::size_t keep = nameLength > suffix.size() ? nameLength - suffix.size() : 1;
  while (keep > 1 && (static_cast<unsigned char>(target[nameStart + keep]) & 0xc0) == 0x80) --keep;
  return target.substr(0, nameStart + keep) + suffix;
}
