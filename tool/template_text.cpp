#include "template_text.h"

#include <algorithm>
#include <cstdio>

#include "program_search.h"
#include "template_block.h"
#include "utf8.h"

namespace {

// A control character at `i`, of `length` bytes: C0 but tab (with `tabToo`, tab as
// well), DEL, or a C1 control (U+0080 to U+009F, two bytes in UTF-8).
bool IsControl(std::string_view text, std::size_t i, std::size_t length, bool tabToo) {
  unsigned char byte = static_cast<unsigned char>(text[i]);
  if (length == 1) return (byte < 0x20 && (tabToo || byte != '\t')) || byte == 0x7f;
  return length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0;
}

// "A, B or C".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
  return text;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0, n; i < text.size(); i += n) {
    n = Utf8Sequence(text, i);
    const bool plain = n != 0 && !IsControl(text, i, n, true);
    n = std::max<std::size_t>(n, 1);
    if (plain) {
      shown.append(text.substr(i, n));
      continue;
    }
    // A control character, or a byte of no UTF-8 character (a terminal may read 0x9B
    // as a control): each of its bytes as <0xNN>.
    for (std::size_t k = 0; k < n; ++k) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "<0x%02X>", static_cast<unsigned char>(text[i + k]));
      shown += escaped;
    }
  }
  return shown;
}

std::string TemplateFromFile(std::string& bytes) {
  // Notepad's "Unicode", PowerShell 5.1's default: two bytes a character, many of them NUL.
  bool utf16 = bytes.rfind("\xff\xfe", 0) == 0 || bytes.rfind("\xfe\xff", 0) == 0 ||
               (bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'));
  if (utf16) return "the template file is UTF-16 text; save it as UTF-8";
  if (bytes.rfind("\xef\xbb\xbf", 0) == 0) bytes.erase(0, 3);  // "UTF-8 with BOM"
  if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0)
    bytes.resize(bytes.size() - 2);
  else if (!bytes.empty() && bytes.back() == '\n')
    bytes.pop_back();
  return "";
}

std::string CheckTemplateText(std::string_view text) {
  if (text.empty()) return "the template is empty: the launcher would start nothing";
  if (text.size() > kMaxTemplateSize)
    return "the template is " + std::to_string(text.size()) + " bytes long; the block holds at most " +
           std::to_string(kMaxTemplateSize);
  if (text.find('\0') != std::string_view::npos) return "the template holds a NUL byte";
  for (std::size_t i = 0, n; i < text.size(); i += n) {
    n = std::max<std::size_t>(Utf8Sequence(text, i), 1);
    if (IsControl(text, i, n, false))
      return "the template holds a control character (" + Printable(text.substr(i, n)) + " at byte " +
             std::to_string(i) + "); only tab may stand in a command";
  }
  if (text.find(kTemplateMarker) != std::string_view::npos)
    return "the template holds the marker " + std::string(kTemplateMarker) + "; the block could not be found again";
  return "";
}

std::string LowerHex(std::string_view bytes) {
  std::string hex;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex;
}

// Warnings, each for a template that starts, but maybe not what its writer meant, or
// that can never start:
//   template                                  warns
//   viewer                                    no %s: the file name is dropped
//   C:\Program Files\Ed\ed.exe "%s"           unquoted path with a space (C:\Program.exe first)
//   C:\Program Files (x86)\Ed\ed.exe "%s"     the same: C:\Program.exe, C:\Program Files.exe
//   C:\Tools\My Editor.exe "%s"               the same: a planted C:\Tools\My.exe would start
//   C:\Tools\ed.exe Files\x.exe %s            two programs: C:\Tools\ed.exe, or all of it
//   C:\Tools\ed --log C:\logs\ed.txt "%s"     nothing: the words after C:\Tools\ed are its arguments
//   C:\Tools\ed.com "%s" --log C:\x y.exe     nothing: the program ends at ed.com
//   notepad.exe "%s", tools\ed.exe "%s"       no full path: the launcher's folder comes first
//   .\ed.exe "%s"                            no full path: the current folder alone
//   "" "%s"                                   never starts: the program's name is empty
//    C:\Ed\ed.exe "%s"                        never starts: a blank before the program
//   "C:\Ed\ed.exe %s                          never starts: the quote is never closed
//   C:\Tools\ed.exe"%s"                       never starts: a quote glued to the program
//   %systemdrive%\ed.exe "%s"                 never starts: no variable is expanded, %s is eaten
//   bytes that are not UTF-8                  Windows 10 1903 and later read UTF-8
std::vector<std::string> TemplateWarnings(std::string_view text, unsigned codePage) {
  std::vector<std::string> warnings;
  if (text.find(kPlaceholder) == std::string_view::npos)
    warnings.push_back("the template has no %s: the file name given to the launcher will be dropped");
  if (!IsUtf8(text))
    warnings.push_back(
        "the template is not UTF-8 text: Windows 10 version 1903 and later read it as UTF-8, so its "
        "non-ASCII characters will come out wrong");

  ProgramWords program = FindProgram(text);
  if (program.leadingBlank)
    warnings.push_back(
        "the template begins with a blank: Windows reads an empty program name there, and the "
        "launcher will start nothing; remove it");
  if (program.unclosed)
    warnings.push_back(
        "the double quote before the program is never closed: Windows finds no program, and the "
        "launcher will start nothing; close it after the program's path");
  if (program.glued)
    warnings.push_back("the program (" + std::string(program.meant) + ") runs on into " +
                       (text[program.meant.size()] == '"' ? "a double quote" : "the %s") +
                       " with no space between: Windows reads them as one name, and the launcher will start "
                       "nothing; put a space after the program");
  if (!program.quoted && program.meant.size() > program.first.size()) {
    // Every shorter reading Windows tries before the one meant.
    std::vector<std::string> before;
    std::string_view longest = program.shorter.empty() ? program.meant : program.shorter;
    for (std::size_t end = text.find_first_of(kBlanks); end < longest.size();
         end = text.find_first_of(kBlanks, end + 1))
      if (kBlanks.find(text[end - 1]) == std::string_view::npos)
        before.push_back(WithDefaultExtension(text.substr(0, end)));
    if (program.shorter.empty())
      warnings.push_back("the program path is not in double quotes and holds a space: Windows may start " +
                         Listed(before) + " instead; put the path in double quotes");
    else
      warnings.push_back(
          "the program is not in double quotes, and the text names two programs: " + std::string(program.shorter) +
          " (the words after it its arguments), or " + std::string(program.meant) +
          "; Windows starts the first that exists" + (before.empty() ? "" : ", after trying " + Listed(before)) +
          "; put the one you mean in double quotes");
  }
  if (program.quoted && !program.unclosed && program.meant.empty())
    warnings.push_back(
        "the program's name is empty (\"\"): Windows finds no program, and the launcher will start "
        "nothing; put the program's path between the quotes");
  if (!program.meant.empty() && !IsFullPath(program.meant)) {
    warnings.push_back("the program is named without a full path (" + std::string(program.meant) +
                       "): Windows looks for it " + WhereWindowsLooks(WithDefaultExtension(program.meant)) +
                       "; the current folder is the caller's, where a file opened from a download folder can bring "
                       "its own; give its full path");
  }
  // %NAME%: WinExec expands no variable, and a %s inside is a placeholder.
  for (std::size_t open = text.find('%'); open != std::string_view::npos; open = text.find('%', open + 1)) {
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    std::string_view name = text.substr(open + 1, close - open - 1);
    bool variable = !name.empty() && name.find_first_not_of(
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789_()") == std::string_view::npos;
    if (!variable) continue;
    warnings.push_back(
        "%" + std::string(name) + "% is not expanded: the launcher starts the command as it stands" +
        (name[0] == 's' ? std::string(", and its %s is a placeholder that the file name replaces") : "") +
        "; write the value itself");
    open = close;
  }
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (codePage != 0 && !ascii)
    warnings.push_back("this Windows reads programs' text in code page " + std::to_string(codePage) +
                       ", not UTF-8: the launcher here will read the template's non-ASCII characters in that code "
                       "page, so they will come out wrong (Windows 10 version 1903 and later read UTF-8)");
  return warnings;
}
