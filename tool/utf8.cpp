#include "utf8.h"

#include <algorithm>

namespace {

// The code point of the well-formed sequence of `length` bytes at `text`'s start; its
// first byte itself where there is none (`length` 0).
char32_t CodePoint(std::string_view text, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[0]);
  char32_t code = length <= 1 ? lead : lead & (0x3fu >> (length - 1));
  for (std::size_t k = 1; k < length; ++k) code = code << 6 | (static_cast<unsigned char>(text[k]) & 0x3fu);
  return code;
}

}  // namespace

std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xc2 && lead < 0xe0 ? 2
                             : lead >= 0xe0 && lead < 0xf0 ? 3
                             : lead >= 0xf0 && lead < 0xf5 ? 4
                                                           : 0;
  if (length == 0 || i + length > text.size()) return 0;
  const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0x80;
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) || (lead == 0xf0 && second < 0x90) ||
      (lead == 0xf4 && second > 0x8f))
    return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return 0;
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0, n; i < text.size(); i += n)
    if ((n = Utf8Sequence(text, i)) == 0) return false;
  return true;
}

std::size_t Utf8Characters(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0, n; i < text.size(); i += n) {
    n = std::max<std::size_t>(Utf8Sequence(text, i), 1);
    units += n == 4 ? 2 : 1;
  }
  return units;
}

std::u16string Utf16Units(std::string_view text) {
  std::u16string units;
  while (!text.empty()) {
    const std::size_t length = Utf8Sequence(text, 0);
    const char32_t code = CodePoint(text, length);
    text.remove_prefix(std::max<std::size_t>(length, 1));
    if (code >= 0x10000) {
      units += static_cast<char16_t>(0xd800 + ((code - 0x10000) >> 10));
      units += static_cast<char16_t>(0xdc00 + ((code - 0x10000) & 0x3ff));
    } else {
      units += static_cast<char16_t>(code);
    }
  }
  return units;
}

std::string Utf8OfUnits(std::u16string_view units) {
  std::string text;
  for (std::size_t i = 0; i < units.size() && units[i] != 0; ++i) {
    char32_t code = units[i];
    if (code >= 0xd800 && code < 0xdc00 && i + 1 < units.size() && units[i + 1] >= 0xdc00 && units[i + 1] < 0xe000)
      code = 0x10000 + ((code - 0xd800) << 10) + (units[++i] - 0xdc00);
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
