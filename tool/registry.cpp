#include "registry.h"

#include <algorithm>

#include "path_fold.h"

RegistryValue StringValue(std::string_view text) {
  // UTF-8 to UTF-16LE; a byte of no UTF-8 character stands for itself.
  RegistryValue value{true, kRegSz, {}};
  auto unit = [&](std::uint32_t u) {
    value.data += static_cast<char>(u & 0xff);
    value.data += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
    std::uint32_t code = length == 1 ? lead : lead & (0x3fu >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3fu);
    i += length;
    if (code >= 0x10000) {
      unit(0xd800 + ((code - 0x10000) >> 10));
      unit(0xdc00 + ((code - 0x10000) & 0x3ff));
    } else {
      unit(code);
    }
  }
  unit(0);
  return value;
}

RegistryValue EmptyNoneValue() { return {true, kRegNone, {}}; }

std::string TextOfValue(const RegistryValue& value) {
  std::string text;
  if (!value.exists || value.type != kRegSz) return text;
  auto unitAt = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(value.data[i]) |
                                      static_cast<unsigned char>(value.data[i + 1]) << 8);
  };
  for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
    std::uint32_t code = unitAt(i);
    if (code == 0) break;
    if (code >= 0xd800 && code < 0xdc00 && i + 3 < value.data.size()) {
      code = 0x10000 + ((code - 0xd800) << 10) + (unitAt(i + 2) - 0xdc00);
      i += 2;
    }
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xc0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
      text += static_cast<char>(0xe0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3f));
      text += static_cast<char>(0x80 | (code & 0x3f));
    } else {
      text += static_cast<char>(0xf0 | code >> 18);
      text += static_cast<char>(0x80 | (code >> 12 & 0x3f));
      text += static_cast<char>(0x80 | (code >> 6 & 0x3f));
      text += static_cast<char>(0x80 | (code & 0x3f));
    }
  }
  return text;
}

bool SameRegistryName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool HoldsRegistryName(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& held) { return SameRegistryName(held, name); });
}
