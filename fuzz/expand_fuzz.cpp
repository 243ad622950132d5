// The expansion on arbitrary 256-byte blocks and tails, against a plain model of its rules.
// Input: up to 256 bytes of block (zero-filled when shorter), then the tail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "template_block.h"

namespace {

// The rules, byte by byte: the template starts after the block's first NUL and ends at
// the next NUL or the block's end; "%s" within it becomes the tail, except that a "%s"
// between two quotes of the template takes a tail of the form "TEXT" and spaces as TEXT.
std::string Model(const TemplateBlock& block, std::string_view tail) {
  std::size_t quotes = 0, lastQuote = 0;
  for (std::size_t k = 0; k < tail.size(); ++k)
    if (tail[k] == '"') ++quotes, lastQuote = k;
  bool oneQuoted = quotes == 2 && tail[0] == '"';
  for (std::size_t k = lastQuote + 1; oneQuoted && k < tail.size(); ++k) oneQuoted = tail[k] == ' ';
  const std::string_view inside = oneQuoted ? tail.substr(1, lastQuote - 1) : tail;

  const auto* b = reinterpret_cast<const unsigned char*>(block.bytes);
  std::size_t i = 0;
  while (i < 256 && b[i] != 0) ++i;
  ++i;
  std::string command;
  while (i <= 255 && b[i] != 0) {
    if (b[i] == '%' && i + 1 <= 255 && b[i + 1] == 's') {
      bool between = b[i - 1] == '"' && i + 2 <= 255 && b[i + 2] == '"';  // i >= 1: a NUL came first
      command.append(between ? inside : tail);
      i += 2;
    } else {
      command.push_back(static_cast<char>(b[i]));
      i += 1;
    }
  }
  return command;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto block = std::make_unique<TemplateBlock>();  // exactly 256 bytes on the heap
  std::size_t blockBytes = size < kTemplateBlockSize ? size : kTemplateBlockSize;
  std::memset(block->bytes, 0, kTemplateBlockSize);
  std::memcpy(block->bytes, data, blockBytes);
  std::string_view tail(reinterpret_cast<const char*>(data + blockBytes), size - blockBytes);

  std::string command;
  ExpandTemplate(*block, tail, command);
  if (command != Model(*block, tail)) std::abort();
  return 0;
}
