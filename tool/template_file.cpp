#include "template_file.h"

#include <algorithm>
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

std::string CheckTemplateText(std::string_view text) {
  if (text.size() > kMaxTemplateSize)
    return "the template is " + std::to_string(text.size()) + " bytes long; the block holds at most " +
           std::to_string(kMaxTemplateSize);
  if (text.find('\0') != std::string_view::npos) return "the template holds a NUL byte";
  return "";
}

std::vector<std::string> TemplateWarnings(std::string_view text) {
  std::vector<std::string> warnings;
  if (text.find(kPlaceholder) == std::string_view::npos)
    warnings.push_back("the template has no %s: the file name given to the launcher will be dropped");

  // Windows reads an unquoted program path up to its first space, and tries that first.
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  std::size_t exe = lower.find(".exe");
  std::size_t space = text.find(' ');
  if (!text.empty() && text[0] != '"' && exe != std::string::npos && space < exe) {
    warnings.push_back("the program path is not in double quotes and holds a space: Windows may start " +
                       std::string(text.substr(0, space)) + ".exe instead; put the path in double quotes");
  }
  return warnings;
}

std::string RewriteTemplate(std::string& file, std::string_view text, bool removeSignature,
                            std::vector<std::string>& warnings) {
  if (std::string error = CheckTemplateText(text); !error.empty()) return error;
  PeImage image;
  std::size_t offset = 0;
  if (std::string error = LocateBlock(file, image, offset); !error.empty()) return error;

  std::size_t cut = file.size();
  if (image.certificateOffset != 0 || image.certificateSize != 0) {
    if (!removeSignature)
      return "the file is signed (Authenticode); rewriting it breaks the signature (--force removes it)";
    std::size_t end = std::size_t{image.certificateOffset} + image.certificateSize;
    if (image.certificateOffset < offset + kTemplateBlockSize || end > file.size() ||
        (end + 7) / 8 * 8 < file.size())
      return "the file is signed, and its certificate table is not at the end of the file; cannot remove it";
    cut = image.certificateOffset;
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
