// The stored command template: the one layout of the 256-byte block inside opener.exe,
// shared by the launcher, the template tool, the tests and the fuzzers.
//
//   offset   size        content
//   0        12          the marker "__FILENAME__"
//   12       1           NUL, ending the marker
//   13       up to 243   the command template, NUL-terminated unless it fills the block
//   ...      the rest    zero bytes
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kTemplateBlockSize = 256;
inline constexpr std::string_view kTemplateMarker = "__FILENAME__";
inline constexpr std::size_t kTemplateOffset = kTemplateMarker.size() + 1;             // 13
inline constexpr std::size_t kMaxTemplateSize = kTemplateBlockSize - kTemplateOffset;  // 243
inline constexpr std::string_view kPlaceholder = "%s";

// The build states the same layout to CMake, for its own checks and the tool's help.
static_assert(kTemplateBlockSize == OPENER_TEMPLATE_BLOCK_SIZE && kMaxTemplateSize == OPENER_MAX_TEMPLATE_SIZE,
              "the block's sizes in CMakeLists.txt differ from this layout");

struct TemplateBlock {
  char bytes[kTemplateBlockSize];
};
static_assert(sizeof(TemplateBlock) == kTemplateBlockSize);

// A block as the build stores it: the marker, its NUL, then `text` (at most
// kMaxTemplateSize bytes of it), zero-filled. The one way every part of the project
// makes a block: the launcher's own at build time, the tool's rewrite, tests, fuzzers
// and benchmarks.
constexpr TemplateBlock MakeTemplateBlock(std::string_view text) {
  TemplateBlock block{};
  for (std::size_t i = 0; i < kTemplateMarker.size(); ++i) block.bytes[i] = kTemplateMarker[i];
  for (std::size_t i = 0; i < text.size() && i < kMaxTemplateSize; ++i) block.bytes[kTemplateOffset + i] = text[i];
  return block;
}

// The template as the launcher reads it: from just after the block's first NUL byte to
// the next NUL or the block's last byte; empty when the block holds no NUL before its
// last byte.
std::string_view StoredTemplate(const TemplateBlock& block);

// Whether `name` (a file or a folder; relative names from the current folder) exists.
// Asked only for a tail of several space-separated words at a quoted "%s".
using NameExists = bool (*)(std::string_view name);

// Appends the stored template to `command`, with the tail in place of each "%s": whole
// at a bare "%s"; at a quoted one ("%s"), as one argument, as the arguments its caller
// quoted, several existing files each quoted, or nothing for an empty tail. Only the
// template is scanned for placeholders.
void ExpandTemplate(const TemplateBlock& block, std::string_view tail, NameExists exists, std::string& command);
