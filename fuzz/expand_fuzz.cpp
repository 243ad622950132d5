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
// the next NUL or the block's end; "%s" within it becomes the tail.
std::string Model(const TemplateBlock& block, std::string_view tail) {
  const auto* b = reinterpret_cast<const unsigned char*>(block.bytes);
  std::size_t i = 0;
  while (i < 256 && b[i] != 0) ++i;
  ++i;
  std::string command;
  while (i <= 255 && b[i] != 0) {
    if (b[i] == '%' && i + 1 <= 255 && b[i + 1] == 's') {
      command.append(tail);
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
