// The expansion on arbitrary 256-byte blocks and tails, against a plain model of its rules.
// Input: up to 256 bytes of block (zero-filled when shorter), then the tail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "template_block.h"

namespace {

// The file system the fuzzer plays: a name exists when its length is not a multiple of
// 3. Counts the questions, which only several space-separated words at a quoted "%s" ask.
std::size_t gAsked = 0;
bool Exists(std::string_view name) {
  ++gAsked;
  return name.size() % 3 != 0;
}

// What a quoted "%s" becomes: the tail without trailing spaces; nothing when that is
// empty; as it is when it holds a quote; else in quotes, or each word in quotes when the
// whole names nothing and every word names something.
std::string QuotedModel(std::string_view tail, bool& asks) {
  std::string text(tail);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.empty()) return "";
  if (text.find('"') != std::string::npos) return text;
  if (text.find(' ') == std::string::npos) return "\"" + text + "\"";
  asks = true;
  std::vector<std::string> words;
  for (std::size_t k = 0, start = 0; k <= text.size(); ++k) {
    if (k < text.size() && text[k] != ' ') continue;
    if (k > start) words.push_back(text.substr(start, k - start));
    start = k + 1;
  }
  bool each = text.size() % 3 == 0;
  for (const std::string& word : words) each = each && word.size() % 3 != 0;
  if (!each) return "\"" + text + "\"";
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "\"" : " \"") + word + "\"";
  return joined;
}

// The rules, byte by byte: the template starts after the block's first NUL and ends at
// the next NUL or the block's end; the four bytes "%s" (quotes and all) become the
// quoted model, and any other "%s" the tail.
std::string Model(const TemplateBlock& block, std::string_view tail, bool& asks) {
  const auto* b = reinterpret_cast<const unsigned char*>(block.bytes);
  std::size_t i = 0;
  while (i < 256 && b[i] != 0) ++i;
  ++i;
  std::string command;
  while (i <= 255 && b[i] != 0) {
    if (b[i] == '"' && i + 3 <= 255 && b[i + 1] == '%' && b[i + 2] == 's' && b[i + 3] == '"') {
      command.append(QuotedModel(tail, asks));
      i += 4;
    } else if (b[i] == '%' && i + 1 <= 255 && b[i + 1] == 's') {
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
  gAsked = 0;
  ExpandTemplate(*block, tail, Exists, command);
  bool asks = false;
  if (command != Model(*block, tail, asks)) std::abort();
  if (gAsked != 0 && !asks) std::abort();  // the file system asked about a tail that needs no answer
  return 0;
}
