#include "template_file.h"

#include <algorithm>
#include <cstring>

#include "pe_image.h"
#include "sha256.h"
#include "template_block.h"
#include "template_text.h"

namespace {

// LocateTemplateBlock, also handing back the headers it read.
std::string LocateBlock(std::string_view file, PeImage& image, std::size_t& offset) {
  if (std::string error = ReadPeImage(file, image); !error.empty()) return error;

  std::size_t at = file.find(kTemplateMarker);
  const std::string marker(kTemplateMarker);
  if (at == std::string_view::npos) return "no template block (the marker " + marker + " is not in the file)";
  if (file.find(kTemplateMarker, at + 1) != std::string_view::npos)
    return "the marker " + marker + " stands more than once; which block is the template is ambiguous";
  if (file.size() - at < kTemplateBlockSize)
    return "the template block does not fit: fewer than " + std::to_string(kTemplateBlockSize) +
           " bytes from the marker to the end of the file";
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

std::string ExpandStoredTemplate(std::string_view file, std::size_t offset, std::string_view tail, NameExists exists) {
  std::string command;
  ExpandTemplate(CopyBlock(file, offset), tail, exists, command);
  return command;
}

extern const char kOurLaunchers[], kReleasedLaunchers[];  // our_launchers.cpp

std::string LauncherKind(std::string_view file, std::size_t offset, bool released) {
  PeImage image;
  if (!ReadPeImage(file, image).empty()) return "";
  std::string bytes(file);
  if (image.certificateOffset != 0 && image.certificateOffset <= bytes.size()) CutCertificateTable(bytes, image);
  if (offset + kTemplateBlockSize > bytes.size() || image.checksumOffset + 4 > bytes.size()) return "";
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), kTemplateBlockSize, '\0');
  WriteLe32(bytes, image.checksumOffset, 0);
  // As the build hashes it: the bytes as lowercase hex text.
  const std::string print = Sha256Hex(LowerHex(bytes));
  if (print.empty()) return "";
  // KIND:PRINT, each followed by a space.
  for (const std::string_view prints :
       {std::string_view(kOurLaunchers), std::string_view(released ? kReleasedLaunchers : "")}) {
    const std::size_t at = prints.find(":" + print + " ");
    if (at == std::string_view::npos) continue;
    const std::size_t start = at == 0 ? 0 : prints.rfind(' ', at) + 1;
    return std::string(prints.substr(start, at - start));
  }
  return "";
}

std::vector<std::string> LauncherKinds() {
  std::vector<std::string> kinds;
  const std::string_view prints = kOurLaunchers;
  for (std::size_t start = 0, colon; (colon = prints.find(':', start)) != std::string_view::npos;
       start = prints.find(' ', colon) + 1)
    kinds.emplace_back(prints.substr(start, colon - start));
  return kinds;
}

bool IsOurLauncher(std::string_view file, std::size_t offset) { return !LauncherKind(file, offset, false).empty(); }

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

  std::string result = file;
  if (cut != file.size()) CutCertificateTable(result, image);
  result.replace(offset, kTemplateBlockSize, MakeTemplateBlock(text).bytes, kTemplateBlockSize);
  if (image.checksum != 0) WriteLe32(result, image.checksumOffset, ComputePeChecksum(result, image.checksumOffset));
  file.swap(result);
  return "";
}
