// Two names compared as Windows compares the names of files and registry keys: case
// folded beyond ASCII (C:\Ü and c:\ü, .RFÄ and .rfä are one name). On Windows the
// system's own table answers (name_case_windows.cpp); elsewhere a table of the Latin,
// Greek and Cyrillic letters stands in for it (name_case_none.cpp), for the tests.
#pragma once

#include <algorithm>
#include <string_view>

#include "path_fold.h"

// The system's answer, for names that hold more than ASCII.
bool SameNameBySystem(std::string_view a, std::string_view b);

// Whether `text` is ASCII throughout: such names need no system to compare them.
inline bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

inline bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (!IsAscii(a) || !IsAscii(b)) return SameNameBySystem(a, b);
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}
