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

}  // namespace

std::string LocateTemplateBlock(std::string_view file, std::size_t& offset) {
  PeImage image;
  return LocateBlock(file, image, offset);
}

std::string ReadStoredTemplate(std::string_view file, std::size_t offset) {
  // The launcher's own reading, on a copy of the block's bytes.
  TemplateBlock block;
  std::memcpy(block.bytes, file.data() + offset, kTemplateBlockSize);
  return std::string(StoredTemplate(block));
}

std::string ShownTemplate(std::string_view text) {
  std::string shown;
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      shown += c;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "<0x%02X>", byte);
    shown += escaped;
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
  if (text.size() > kMaxTemplateSize)
    return "the template is " + std::to_string(text.size()) + " bytes long; the block holds at most " +
           std::to_string(kMaxTemplateSize);
  if (text.find('\0') != std::string_view::npos) return "the template holds a NUL byte";
  auto control = std::find_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
  });
  if (control != text.end())
    return "the template holds a control character (" + ShownTemplate(std::string_view(&*control, 1)) + " at byte " +
           std::to_string(control - text.begin()) + "); only tab may stand in a command";
  if (text.find(kTemplateMarker) != std::string_view::npos)
    return "the template holds the marker __FILENAME__; the block could not be found again";
  return "";
}

namespace {

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code
// points above U+10FFFF.
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2 : lead >= 0xe0 && lead < 0xf0 ? 3
                       : lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    unsigned char second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0x80;
    if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) || (lead == 0xf0 && second < 0x90) ||
        (lead == 0xf4 && second > 0x8f))
      return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return false;
    i += length;
  }
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

}  // namespace

// Warnings, each for a template that starts, but maybe not what its writer meant:
//   template                                  warns
//   viewer                                    no %s: the file name is dropped
//   C:\Program Files\Ed\ed.exe "%s"           unquoted path with a space (C:\Program.exe first)
//   C:\Program Files\Ed\ed "%s"               the same, without .exe
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

  // The program, as Windows reads it: after any spaces, up to the closing quote, else up
  // to the first space, trying longer space-separated prefixes while the path goes on.
  std::string_view rest = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  if (rest.empty()) return warnings;
  std::string_view program;
  if (rest[0] == '"') {
    program = rest.substr(1, rest.find('"', 1) - 1);
  } else {
    program = rest.substr(0, rest.find(' '));
    std::string_view after = rest.substr(program.size());
    std::string_view continued = after.substr(0, std::min(after.find('"'), after.find(kPlaceholder)));
    if (!HasExecutableExtension(program) && continued.find_first_of("\\/") != std::string_view::npos) {
      warnings.push_back("the program path is not in double quotes and holds a space: Windows may start " +
                         std::string(program) + ".exe instead; put the path in double quotes");
    }
  }
  if (!program.empty() && program.find(kPlaceholder) == std::string_view::npos && !IsFullPath(program)) {
    warnings.push_back("the program is named without a full path (" + std::string(program) +
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
