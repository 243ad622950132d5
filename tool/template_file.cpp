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

bool HasExecutableExtension(std::string_view word) {
  if (word.size() < 4) return false;
  std::string extension(word.substr(word.size() - 4));
  for (char& c : extension) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

// A drive (C:\), a share (\\server\) or the current drive's root (\Tools): not looked
// for in the current folder.
bool IsFullPath(std::string_view path) {
  bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// A word after an unquoted program's first word that goes on with its path: it ends in
// a program's extension, or holds more path (Files\Ed\ed), and is no option (-x, /x)
// and no path of its own (C:\logs\ed.txt).
bool ContinuesProgram(std::string_view word) {
  if (word.empty() || word[0] == '-' || word[0] == '/' || IsFullPath(word)) return false;
  return HasExecutableExtension(word) || word.find_first_of("\\/") != std::string_view::npos;
}

}  // namespace

std::string WithDefaultExtension(std::string_view path) {
  std::size_t name = path.find_last_of("\\/");
  bool extension = path.find('.', name == std::string_view::npos ? 0 : name) != std::string_view::npos;
  return std::string(path) + (extension ? "" : ".exe");
}

ProgramWords FindProgram(std::string_view command) {
  ProgramWords words;
  std::string_view rest = command.substr(std::min(command.find_first_not_of(' '), command.size()));
  if (rest.empty()) return words;
  if (rest[0] == '"') {
    words.quoted = true;
    words.meant = words.first = rest.substr(1, rest.find('"', 1) - 1);
    return words;
  }
  words.first = words.meant = rest.substr(0, rest.find(' '));
  if (HasExecutableExtension(words.first)) return words;
  // Up to the first quote or placeholder, the words that go on with the path.
  std::string_view region = rest.substr(0, std::min(rest.find('"'), rest.find(kPlaceholder)));
  for (std::size_t end = words.first.size(); end < region.size();) {
    std::size_t start = end + 1;
    std::size_t next = std::min(region.find(' ', start), region.size());
    std::string_view word = region.substr(start, next - start);
    if (!ContinuesProgram(word)) break;
    words.meant = rest.substr(0, next);
    if (HasExecutableExtension(word)) break;
    end = next;
  }
  return words;
}

//   command                               candidates
//   "C:\Program Files\Ed\ed.exe" "a b"    C:\Program Files\Ed\ed.exe
//   C:\Tools\My Editor.exe a              C:\Tools\My.exe, C:\Tools\My Editor.exe, C:\Tools\My Editor.exe a
//   notepad a.txt                         notepad.exe, notepad a.txt
//   C:\Ed\ed "a b"                         C:\Ed\ed.exe (a prefix with a quote names no file)
std::vector<std::string> ProgramCandidates(std::string_view command) {
  ProgramWords words = FindProgram(command);
  if (words.quoted) {
    if (words.first.empty()) return {};  // "" names no file
    return {WithDefaultExtension(words.first)};
  }
  std::vector<std::string> candidates;
  std::string_view rest = command.substr(std::min(command.find_first_not_of(' '), command.size()));
  for (std::size_t end = rest.find(' '); !rest.empty(); end = rest.find(' ', end + 1)) {
    std::string_view prefix = rest.substr(0, std::min(end, rest.size()));
    // No file name holds a double quote: such a prefix can name no program.
    if (!prefix.empty() && prefix.back() != ' ' && prefix.find('"') == std::string_view::npos)
      candidates.push_back(WithDefaultExtension(prefix));
    if (end == std::string_view::npos) break;
  }
  return candidates;
}

// Warnings, each for a template that starts, but maybe not what its writer meant:
//   template                                  warns
//   viewer                                    no %s: the file name is dropped
//   C:\Program Files\Ed\ed.exe "%s"           unquoted path with a space (C:\Program.exe first)
//   C:\Program Files\Ed\ed "%s"               the same, without .exe
//   C:\Tools\My Editor.exe "%s"               the same: a planted C:\Tools\My.exe would start
//   C:\Tools\ed --log C:\logs\ed.txt "%s"     nothing: the words after C:\Tools\ed are its arguments
//   C:\Tools\ed.com "%s" --log C:\x y.exe     nothing: the program ends at ed.com
//   notepad.exe "%s", tools\ed.exe "%s"       no full path: the current folder comes first
//   bytes that are not UTF-8                  Windows 10 1903 and later read UTF-8
std::vector<std::string> TemplateWarnings(std::string_view text) {
  std::vector<std::string> warnings;
  if (text.find(kPlaceholder) == std::string_view::npos)
    warnings.push_back("the template has no %s: the file name given to the launcher will be dropped");
  if (!IsUtf8(text))
    warnings.push_back("the template is not UTF-8 text: Windows 10 version 1903 and later read it as UTF-8, so its "
                       "non-ASCII characters will come out wrong");

  ProgramWords program = FindProgram(text);
  if (program.meant.size() != program.first.size()) {
    warnings.push_back("the program path is not in double quotes and holds a space: Windows may start " +
                       WithDefaultExtension(program.first) + " instead; put the path in double quotes");
  }
  if (!program.meant.empty() && program.meant.find(kPlaceholder) == std::string_view::npos &&
      !IsFullPath(program.meant)) {
    warnings.push_back("the program is named without a full path (" + std::string(program.meant) +
                       "): Windows looks for it in the current folder first, where a file opened from a download "
                       "folder can bring its own; give its full path");
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
