#include "template_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pe_image.h"
#include "template_block.h"

namespace {

// LocateTemplateBlock, also handing back the headers it read.
std::string LocateBlock(std::string_view file, PeImage& image, std::size_t& offset) {
  if (std::string error = ReadPeImage(file, image); !error.empty()) return error;

  std::size_t at = file.find(kTemplateMarker);
  if (at == std::string_view::npos) return "no template block (the marker __FILENAME__ is not in the file)";
  if (file.find(kTemplateMarker, at + 1) != std::string_view::npos)
    return "the marker __FILENAME__ stands more than once; which block is the template is ambiguous";
  if (file.size() - at < kTemplateBlockSize)
    return "the template block does not fit: fewer than 256 bytes from the marker to the end of the file";
  if (file[at + kTemplateMarker.size()] != '\0') return "the template block does not fit: no NUL after the marker";
  if (at < image.headersEnd) return "the template block overlaps the PE headers";
  bool inSection = std::any_of(image.sections.begin(), image.sections.end(), [&](const PeImage::Range& s) {
    return s.begin <= at && at + kTemplateBlockSize <= s.end;
  });
  if (!inSection) return "the template block lies outside the program's sections, where the launcher never reads it";
  offset = at;
  return "";
}

// The length of the well-formed UTF-8 sequence at `i`, or 0: no stray continuation
// bytes, overlong forms, surrogates or code points above U+10FFFF.
std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2 : lead >= 0xe0 && lead < 0xf0 ? 3
                     : lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  unsigned char second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0x80;
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) || (lead == 0xf0 && second < 0x90) ||
      (lead == 0xf4 && second > 0x8f))
    return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return 0;
  return length;
}

// A control character at `i`, of `length` bytes: C0 but tab (with `tabToo`, tab as
// well), DEL, or a C1 control (U+0080 to U+009F, two bytes in UTF-8).
bool IsControl(std::string_view text, std::size_t i, std::size_t length, bool tabToo) {
  unsigned char byte = static_cast<unsigned char>(text[i]);
  if (length == 1) return (byte < 0x20 && (tabToo || byte != '\t')) || byte == 0x7f;
  return length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0;
}

}  // namespace

std::string LocateTemplateBlock(std::string_view file, std::size_t& offset) {
  PeImage image;
  return LocateBlock(file, image, offset);
}

namespace {

// A copy of the block's bytes, for the launcher's own reading.
TemplateBlock CopyBlock(std::string_view file, std::size_t offset) {
  TemplateBlock block;
  std::memcpy(block.bytes, file.data() + offset, kTemplateBlockSize);
  return block;
}

}  // namespace

std::string ReadStoredTemplate(std::string_view file, std::size_t offset) {
  return std::string(StoredTemplate(CopyBlock(file, offset)));
}

std::string ExpandStoredTemplate(std::string_view file, std::size_t offset, std::string_view tail) {
  std::string command;
  ExpandTemplate(CopyBlock(file, offset), tail, command);
  return command;
}

std::string ShownTemplate(std::string_view text) {
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
  if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) bytes.resize(bytes.size() - 2);
  else if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
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
      return "the template holds a control character (" + ShownTemplate(text.substr(i, n)) + " at byte " +
             std::to_string(i) + "); only tab may stand in a command";
  }
  if (text.find(kTemplateMarker) != std::string_view::npos)
    return "the template holds the marker __FILENAME__; the block could not be found again";
  return "";
}

namespace {

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0, n; i < text.size(); i += n)
    if ((n = Utf8Sequence(text, i)) == 0) return false;
  return true;
}

// Compared as Windows compares names: ASCII case and the two separators folded.
std::string Folded(std::string_view path) {
  std::string folded(path);
  for (char& c : folded) c = c == '/' ? '\\' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return folded;
}

bool HasExecutableExtension(std::string_view word) {
  if (word.size() < 4) return false;
  std::string extension = Folded(word.substr(word.size() - 4));
  return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

constexpr std::string_view kBlanks = " \t";  // what ends a word of the command for Windows

// A drive (C:\), a share (\\server\) or the current drive's root (\Tools): looked for
// where it stands, nowhere else.
bool IsFullPath(std::string_view path) {
  bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// D:ed.exe: on drive D:, in that drive's current folder.
bool IsDriveRelative(std::string_view path) { return path.size() >= 2 && path[1] == ':' && !IsFullPath(path); }

// .\ed.exe, ..\ed.exe: from the current folder alone.
bool IsFromCurrentFolder(std::string_view path) {
  std::string head = Folded(path.substr(0, 3));
  return head.rfind(".\\", 0) == 0 || head == "..\\";
}

// A word after an unquoted program's first word that starts its arguments: an option
// (-x, /x) or a path of its own (C:\logs\ed.txt).
bool StartsArguments(std::string_view word) { return word.empty() || word[0] == '-' || word[0] == '/' || IsFullPath(word); }

// A word that goes on with the program's path: it ends in a program's extension or
// holds more path (Files\Ed\ed).
bool ContinuesPath(std::string_view word) {
  return HasExecutableExtension(word) || word.find_first_of("\\/") != std::string_view::npos;
}

// "A, B or C".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
  return text;
}

}  // namespace

//   path                 with the extension Windows adds
//   C:\Ed\ed             C:\Ed\ed.exe
//   C:\Ed.d\ed           C:\Ed.d\ed.exe (a full path: only its last part counts)
//   ed.d\ed              ed.d\ed (a relative name: any dot in it counts)
//   ed.com               ed.com
std::string WithDefaultExtension(std::string_view path) {
  const bool relative = !IsFullPath(path) && !IsDriveRelative(path) && !IsFromCurrentFolder(path);
  std::size_t name = relative ? 0 : path.find_last_of("\\/");
  bool extension = path.find('.', name == std::string_view::npos ? 0 : name) != std::string_view::npos;
  return std::string(path) + (extension ? "" : ".exe");
}

ProgramWords FindProgram(std::string_view command) {
  ProgramWords words;
  if (command.empty()) return words;
  if (kBlanks.find(command[0]) != std::string_view::npos) {
    words.leadingBlank = true;
    return words;
  }
  if (command[0] == '"') {
    std::size_t close = command.find('"', 1);
    words.quoted = true;
    words.unclosed = close == std::string_view::npos;
    if (!words.unclosed) words.meant = words.first = command.substr(1, close - 1);
    return words;
  }
  // Up to the first quote or placeholder, or a word that starts the arguments, the path
  // goes on to the last word that continues it; a shorter reading that ends in a
  // program's extension names a program too.
  std::string_view region = command.substr(0, std::min(command.find('"'), command.find(kPlaceholder)));
  words.first = command.substr(0, std::min(command.find_first_of(kBlanks), command.size()));
  words.meant = words.first.substr(0, std::min(words.first.size(), region.size()));
  std::string_view shortest = HasExecutableExtension(words.meant) ? words.meant : std::string_view();
  for (std::size_t end = words.meant.size(); end < region.size();) {
    std::size_t start = end + 1;
    std::size_t next = std::min(region.find_first_of(kBlanks, start), region.size());
    std::string_view word = region.substr(start, next - start);
    if (StartsArguments(word)) break;
    if (ContinuesPath(word)) {
      if (shortest.empty() && HasExecutableExtension(word)) shortest = command.substr(0, next);
      words.meant = command.substr(0, next);
    }
    end = next;
  }
  if (!shortest.empty() && shortest.size() < words.meant.size()) words.shorter = shortest;
  // A name that runs on into a quote or a placeholder: Windows reads them as one word.
  std::size_t after = words.meant.size();
  words.glued = after != 0 && after < command.size() && kBlanks.find(command[after]) == std::string_view::npos;
  return words;
}

//   command                               candidates
//   "C:\Program Files\Ed\ed.exe" "a b"    C:\Program Files\Ed\ed.exe
//   C:\Tools\My Editor.exe a              C:\Tools\My.exe, C:\Tools\My Editor.exe, C:\Tools\My Editor.exe a
//   notepad<tab>a.txt                     notepad.exe, notepad<tab>a.txt
//   C:\Ed\ed "a b"                        C:\Ed\ed.exe (a prefix with a quote names no file)
//    C:\Ed\ed.exe a, "C:\Ed\ed.exe a      none: Windows reads an empty name, or a quote in it
std::vector<std::string> ProgramCandidates(std::string_view command) {
  ProgramWords words = FindProgram(command);
  if (words.leadingBlank || words.unclosed) return {};
  if (words.quoted) {
    if (words.first.empty()) return {};  // "" names no file
    return {WithDefaultExtension(words.first)};
  }
  std::vector<std::string> candidates;
  for (std::size_t end = command.find_first_of(kBlanks); !command.empty(); end = command.find_first_of(kBlanks, end + 1)) {
    std::string_view prefix = command.substr(0, std::min(end, command.size()));
    // No file name holds a double quote or ends in a blank: such a prefix names no program.
    if (kBlanks.find(prefix.back()) == std::string_view::npos && prefix.find('"') == std::string_view::npos)
      candidates.push_back(WithDefaultExtension(prefix));
    if (end == std::string_view::npos) break;
  }
  return candidates;
}

//   candidate            where Windows looks for it
//   C:\Ed\ed.exe         there
//   D:ed.exe             in the current folder of drive D:
//   .\ed.exe             in the current folder
//   tools\ed.exe         the launcher's folder, the current folder, the system folders, PATH
//   ed.exe               the same, but the current folder not where NoDefaultCurrentDirectoryInExePath is set
std::string WhereWindowsLooks(std::string_view candidate) {
  if (IsFullPath(candidate)) return "";
  if (IsDriveRelative(candidate)) return std::string("in the current folder of drive ") + candidate[0] + ":";
  if (IsFromCurrentFolder(candidate)) return "from the current folder";
  if (candidate.find('\\') != std::string_view::npos)
    return "in the launcher's folder, the current folder, the system folders, then each folder on PATH";
  return "in the launcher's folder, the current folder (unless NoDefaultCurrentDirectoryInExePath is set), the "
         "system folders, then each folder on PATH";
}

bool IsProgramMeant(std::string_view started, const ProgramWords& words) {
  if (words.meant.empty()) return true;  // the tail names the program: nothing to compare with
  const std::string path = Folded(started);
  for (std::string_view meant : {words.meant, words.shorter}) {
    if (meant.empty()) continue;
    std::string name = Folded(WithDefaultExtension(meant));
    if (IsFullPath(name)) {
      if (path == name) return true;
      continue;
    }
    // A relative name at the end of the path; a drive-relative one (D:ed.exe) on its drive.
    const bool driveRelative = IsDriveRelative(name);
    if (driveRelative && path.compare(0, 2, name, 0, 2) != 0) continue;
    if (driveRelative) name.erase(0, 2);
    if (path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0 &&
        path[path.size() - name.size() - 1] == '\\')
      return true;
  }
  return false;
}

//   cmd.exe's command line                                  batch file
//   C:\windows\system32\cmd.exe /s/c ""C:\x\ed.bat" "a b""   C:\x\ed.bat
//   C:\Windows\system32\cmd.exe /c "C:\x\ed.cmd a.txt"        C:\x\ed.cmd
std::string BatchFileOf(std::string_view commandLine) {
  std::size_t at = commandLine.find("/c");
  if (at == std::string_view::npos) at = commandLine.find("/C");
  if (at == std::string_view::npos) return "";
  std::string_view rest = commandLine.substr(at + 2);
  rest.remove_prefix(std::min(rest.find_first_not_of(kBlanks), rest.size()));
  std::size_t quotes = 0;
  for (; !rest.empty() && rest[0] == '"'; rest.remove_prefix(1)) ++quotes;
  return std::string(rest.substr(0, quotes >= 2 ? rest.find('"') : rest.find_first_of(" \t\"")));
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0, n; i < text.size(); i += n) {
    n = std::max<std::size_t>(Utf8Sequence(text, i), 1);
    units += n == 4 ? 2 : 1;
  }
  return units;
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
//    C:\Ed\ed.exe "%s"                        never starts: a blank before the program
//   "C:\Ed\ed.exe %s                          never starts: the quote is never closed
//   C:\Tools\ed.exe"%s"                       never starts: a quote glued to the program
//   %systemdrive%\ed.exe "%s"                 never starts: no variable is expanded, %s is eaten
//   bytes that are not UTF-8                  Windows 10 1903 and later read UTF-8
std::vector<std::string> TemplateWarnings(std::string_view text) {
  std::vector<std::string> warnings;
  if (text.find(kPlaceholder) == std::string_view::npos)
    warnings.push_back("the template has no %s: the file name given to the launcher will be dropped");
  if (!IsUtf8(text))
    warnings.push_back("the template is not UTF-8 text: Windows 10 version 1903 and later read it as UTF-8, so its "
                       "non-ASCII characters will come out wrong");

  ProgramWords program = FindProgram(text);
  if (program.leadingBlank)
    warnings.push_back("the template begins with a blank: Windows reads an empty program name there, and the "
                       "launcher will start nothing; remove it");
  if (program.unclosed)
    warnings.push_back("the double quote before the program is never closed: Windows finds no program, and the "
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
    for (std::size_t end = text.find_first_of(kBlanks); end < longest.size(); end = text.find_first_of(kBlanks, end + 1))
      if (kBlanks.find(text[end - 1]) == std::string_view::npos) before.push_back(WithDefaultExtension(text.substr(0, end)));
    if (program.shorter.empty())
      warnings.push_back("the program path is not in double quotes and holds a space: Windows may start " +
                         Listed(before) + " instead; put the path in double quotes");
    else
      warnings.push_back("the program is not in double quotes, and the text names two programs: " +
                         std::string(program.shorter) + " (the words after it its arguments), or " +
                         std::string(program.meant) + "; Windows starts the first that exists" +
                         (before.empty() ? "" : ", after trying " + Listed(before)) +
                         "; put the one you mean in double quotes");
  }
  if (!program.meant.empty() && !IsFullPath(program.meant)) {
    warnings.push_back("the program is named without a full path (" + std::string(program.meant) +
                       "): Windows looks for it in the launcher's folder first, then in the current folder, where a "
                       "file opened from a download folder can bring its own; give its full path");
  }
  // %NAME%: WinExec expands no variable, and a %s inside is a placeholder.
  for (std::size_t open = text.find('%'); open != std::string_view::npos; open = text.find('%', open + 1)) {
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    std::string_view name = text.substr(open + 1, close - open - 1);
    bool variable = !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                             "0123456789_()") == std::string_view::npos;
    if (!variable) continue;
    warnings.push_back("%" + std::string(name) + "% is not expanded: the launcher starts the command as it stands" +
                       (name[0] == 's' ? std::string(", and its %s is a placeholder that the file name replaces") : "") +
                       "; write the value itself");
    open = close;
  }
  return warnings;
}

std::string RewriteTemplate(std::string& file, std::string_view text, bool removeSignature,
                            std::vector<std::string>& warnings) {
  if (std::string error = CheckTemplateText(text); !error.empty()) return error;
  PeImage image;
  std::size_t offset = 0;
  if (std::string error = LocateBlock(file, image, offset); !error.empty()) return error;

  // A certificate table to cut: 8-byte aligned, at least 8 bytes, after the headers,
  // every section and the block, and running to the end of the file; anything else in
  // the security directory is refused, for cutting it would cut the program.
  std::size_t cut = file.size();
  if (image.certificateOffset != 0 || image.certificateSize != 0) {
    std::size_t start = image.certificateOffset;
    bool removable = start % 8 == 0 && image.certificateSize >= 8 && start + image.certificateSize == file.size() &&
                     start >= std::max({image.headersEnd, image.sectionsEnd, offset + kTemplateBlockSize});
    if (!removable)
      return "the file's security directory does not point at a certificate table after the program, at the end of "
             "the file; cannot remove it";
    if (!removeSignature)
      return "the file is signed (Authenticode); rewriting it breaks the signature (--force removes it)";
    cut = start;
    warnings.push_back("the signature was removed; sign the file again");
  }

  std::string result = file.substr(0, cut);
  char* block = result.data() + offset + kTemplateOffset;
  std::memset(block, 0, kMaxTemplateSize);
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  if (cut != file.size()) {
    WriteLe32(result, image.securityEntryOffset, 0);
    WriteLe32(result, image.securityEntryOffset + 4, 0);
  }
  if (image.checksum != 0) WriteLe32(result, image.checksumOffset, ComputePeChecksum(result, image.checksumOffset));
  file.swap(result);
  return "";
}
