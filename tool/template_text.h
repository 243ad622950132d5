// A template as text: shown safely, read from a file, checked before it is stored, and
// what may go wrong once the launcher starts it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// `text` made safe to print for a person (a template, a name, a value in a message):
// each control character, C0, DEL and C1 (U+0080 to U+009F), and each byte of no UTF-8
// character shown as <0xNN> per byte, so that what is shown is what starts (a CR cannot
// hide the text before it, a CSI cannot steer the terminal).
std::string Printable(std::string_view text);

// A template file's bytes made the template: a leading UTF-8 byte order mark and one
// trailing newline dropped. Returns what is wrong (UTF-16 text), or "".
[[nodiscard]] std::string TemplateFromFile(std::string& bytes);

// What makes `text` unusable as a template (empty, too long, a NUL or another control
// character but tab, C1 controls included, the marker inside), or "".
[[nodiscard]] std::string CheckTemplateText(std::string_view text);

// What may go wrong with a usable template once the launcher starts it, on a Windows that
// reads programs' text in the ANSI code page `codePage` (0: UTF-8) among them.
std::vector<std::string> TemplateWarnings(std::string_view text, unsigned codePage = 0);

// `bytes` as lowercase hex text, two digits a byte.
std::string LowerHex(std::string_view bytes);
