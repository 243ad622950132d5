// Paths compared as Windows compares them: ASCII case and the two separators folded.
#pragma once

#include <string>
#include <string_view>

// `c` in lower case where it is an ASCII capital letter.
inline constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

inline constexpr char FoldedPathCharacter(char c) { return c == '/' ? '\\' : AsciiLower(c); }
