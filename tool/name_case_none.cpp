// Without Windows' table: the capital letters of Latin-1, Latin Extended-A, Greek and
// Cyrillic folded to small ones, as Windows' table folds them.
#include <algorithm>

#include "name_case.h"
#include "utf8.h"

namespace {

char16_t Folded(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
  if ((c >= 0xc0 && c <= 0xde && c != 0xd7) || (c >= 0x391 && c <= 0x3ab && c != 0x3a2) || (c >= 0x410 && c <= 0x42f))
    return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40f) return static_cast<char16_t>(c + 0x50);
  // Latin Extended-A pairs a capital with the small letter after it: even then odd from
  // U+0100 to U+0137 and U+014A to U+0177, odd then even from U+0139 to U+0148 and
  // U+0179 to U+017E.
  const bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14a && c <= 0x177);
  const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17e);
  if ((evenPairs && c % 2 == 0) || (oddPairs && c % 2 == 1)) return static_cast<char16_t>(c + 1);
  return c;
}

}  // namespace

bool SameNameBySystem(std::string_view a, std::string_view b) {
  const std::u16string wideA = Utf16Units(a), wideB = Utf16Units(b);
  return wideA.size() == wideB.size() && std::equal(wideA.begin(), wideA.end(), wideB.begin(),
                                                    [](char16_t x, char16_t y) { return Folded(x) == Folded(y); });
}
