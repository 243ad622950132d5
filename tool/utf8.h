// UTF-8, the tool's text, read strictly: its sequences, its length as Windows counts it,
// and UTF-16 (the registry's and Windows' text) made of it and read back. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length of the well-formed UTF-8 sequence at `i`, or 0: no stray continuation
// bytes, overlong forms, surrogates or code points above U+10FFFF.
std::size_t Utf8Sequence(std::string_view text, std::size_t i);

// Whether `text` is UTF-8 throughout.
bool IsUtf8(std::string_view text);

// The number of characters in `text`: its bytes but continuation bytes.
std::size_t Utf8Characters(std::string_view text);

// The length of `text` in UTF-16 units, as Windows counts a command.
std::size_t Utf16Length(std::string_view text);

// `text` as UTF-16 code units; a byte of no UTF-8 character stands for itself (U+0080
// to U+00FF), so that nothing is lost.
std::u16string Utf16Units(std::string_view text);

// UTF-16 `units` as UTF-8, up to the first NUL; a lone surrogate is written as it stands.
std::string Utf8OfUnits(std::u16string_view units);
