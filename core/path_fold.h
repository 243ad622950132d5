// Paths compared as Windows compares them: ASCII case and the two separators folded.
#pragma once

inline constexpr char FoldedPathCharacter(char c) {
  if (c == '/') return '\\';
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
