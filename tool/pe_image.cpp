#include "pe_image.h"

#include <algorithm>

namespace {

std::uint16_t ReadLe16(std::string_view file, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(file[offset]) |
                                    static_cast<unsigned char>(file[offset + 1]) << 8);
}

bool Fits(std::string_view file, std::size_t offset, std::size_t size) {
  return offset <= file.size() && size <= file.size() - offset;
}

constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kSecurityDirectory = 4;

}  // namespace

std::uint32_t ReadLe32(std::string_view file, std::size_t offset) {
  return static_cast<std::uint32_t>(ReadLe16(file, offset)) | static_cast<std::uint32_t>(ReadLe16(file, offset + 2))
                                                                  << 16;
}

void WriteLe32(std::string& file, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) file[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xff);
}

// Layout read here:
// - "MZ" at 0; the offset of the PE header at 0x3c;
// - "PE\0\0", then the COFF header (20 bytes: section count at +2, optional header size at +16);
// - the optional header: magic 0x10b (PE32) or 0x20b (PE32+), CheckSum at +64, the
//   directory count at +92 / +108 and the directories at +96 / +112 (security: the 5th);
// - the section headers (40 bytes each; raw size at +16, raw offset at +20).
std::string ReadPeImage(std::string_view file, PeImage& image) {
  image = PeImage{};
  if (!Fits(file, 0, 0x40) || file.substr(0, 2) != "MZ") return "not a Windows executable (no MZ header)";
  std::size_t pe = ReadLe32(file, 0x3c);
  if (!Fits(file, pe, 24) || file.substr(pe, 4) != std::string_view("PE\0\0", 4))
    return "not a Windows executable (no PE signature where the MZ header points)";

  std::size_t sectionCount = ReadLe16(file, pe + 6);
  std::size_t optionalSize = ReadLe16(file, pe + 20);
  std::size_t optional = pe + 24;
  if (optionalSize < 96 || !Fits(file, optional, optionalSize)) return "damaged PE header (optional header cut short)";
  std::uint16_t magic = ReadLe16(file, optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return "damaged PE header (unknown optional header magic)";

  image.checksumOffset = optional + 64;
  image.checksum = ReadLe32(file, image.checksumOffset);

  std::size_t countOffset = optional + (magic == kPe32Magic ? 92 : 108);
  std::size_t directories = countOffset + 4;
  if (countOffset + 4 <= optional + optionalSize && ReadLe32(file, countOffset) > kSecurityDirectory &&
      directories + 8 * (kSecurityDirectory + 1) <= optional + optionalSize) {
    image.securityEntryOffset = directories + 8 * kSecurityDirectory;
    image.certificateOffset = ReadLe32(file, image.securityEntryOffset);
    image.certificateSize = ReadLe32(file, image.securityEntryOffset + 4);
  }

  std::size_t headers = optional + optionalSize;
  if (!Fits(file, headers, 40 * sectionCount)) return "damaged PE header (section table cut short)";
  image.headersEnd = headers + 40 * sectionCount;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    std::size_t rawSize = ReadLe32(file, headers + 40 * i + 16);
    std::size_t rawOffset = ReadLe32(file, headers + 40 * i + 20);
    if (rawSize != 0) image.sectionsEnd = std::max(image.sectionsEnd, rawOffset + rawSize);
    if (rawSize != 0 && Fits(file, rawOffset, rawSize)) image.sections.push_back({rawOffset, rawOffset + rawSize});
  }
  return "";
}

std::uint32_t ComputePeChecksum(std::string_view file, std::size_t checksumOffset) {
  // The CheckSum field itself counts as zero.
  auto byte = [&](std::size_t i) -> std::uint32_t {
    bool inField = i >= checksumOffset && i < checksumOffset + 4;
    return (i < file.size() && !inField) ? static_cast<unsigned char>(file[i]) : 0u;
  };
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < file.size(); i += 2) {
    sum += byte(i) | byte(i + 1) << 8;
    sum = (sum & 0xffff) + (sum >> 16);
  }
  sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}

void CutCertificateTable(std::string& file, const PeImage& image) {
  file.resize(image.certificateOffset);
  WriteLe32(file, image.securityEntryOffset, 0);
  WriteLe32(file, image.securityEntryOffset + 4, 0);
}
