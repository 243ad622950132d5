// The tail finder on arbitrary command lines and own paths.
// Input: one byte L, then L bytes of own path, then the command line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "argument_tail.h"

namespace {

// A command line in a heap block of exactly its size, so that AddressSanitizer reports
// any read past its NUL; returns the tail's offset after checking it lies inside.
std::size_t TailOffset(const std::string& line, std::string_view ownPath) {
  std::unique_ptr<char[]> bytes(new char[line.size() + 1]);
  std::memcpy(bytes.get(), line.c_str(), line.size() + 1);
  const char* tail = FindArgumentTail(bytes.get(), ownPath);
  if (tail < bytes.get() || tail > bytes.get() + std::strlen(bytes.get())) std::abort();
  return static_cast<std::size_t>(tail - bytes.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t pathLength = data[0];
  if (pathLength > size - 1) pathLength = size - 1;
  std::string_view ownPath(reinterpret_cast<const char*>(data + 1), pathLength);
  std::string rest(reinterpret_cast<const char*>(data + 1 + pathLength), size - 1 - pathLength);
  std::string line = rest.substr(0, rest.find('\0'));

  // Any command line, including ones that end inside the L bytes.
  TailOffset(line, ownPath);

  // Our own path (plain or quoted), a space, then text: the tail is that text.
  bool plainPath = !ownPath.empty() && ownPath[0] != '"' && ownPath.find('\0') == std::string_view::npos;
  if (plainPath && (line.empty() || line[0] != ' ')) {
    std::string path(ownPath);
    std::string plain = path + " " + line;
    if (plain.substr(TailOffset(plain, ownPath)) != line) std::abort();
    std::string quoted = "\"" + path + "\" " + line;
    if (quoted.substr(TailOffset(quoted, ownPath)) != line) std::abort();

    // The same path with forward slashes, or without its ".exe", is our own path too.
    std::string slashed = path;
    for (char& c : slashed) c = c == '\\' ? '/' : c;
    std::string forward = slashed + " " + line;
    if (forward.substr(TailOffset(forward, ownPath)) != line) std::abort();
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".exe") == 0) {
      std::string bare = path.substr(0, path.size() - 4) + " " + line;
      if (bare.substr(TailOffset(bare, ownPath)) != line) std::abort();
    }
  }
  return 0;
}
