// Small PE files made in memory, shaped like a built opener.exe where the template tool
// looks: MZ and PE headers, one section holding the template block, optional overlay and
// certificate table.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "pe_image.h"
#include "template_block.h"

struct PeShape {
  std::string templateText = R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "%s")";
  bool checksum = true;     // a non-zero CheckSum, as the linker writes it
  bool pe32Plus = false;    // PE32+ (64-bit) optional header
  std::string overlay;      // bytes appended after the image
  std::string certificate;  // a certificate table at the very end (signed file)
};

constexpr std::size_t kBuiltBlockOffset = 0x220;

inline std::string BuildPe(const PeShape& shape = {}) {
  std::string file(0x400, '\0');
  auto put16 = [&](std::size_t at, std::uint16_t v) { file[at] = char(v & 0xff), file[at + 1] = char(v >> 8); };
  file[0] = 'M', file[1] = 'Z';
  WriteLe32(file, 0x3c, 0x40);
  std::memcpy(&file[0x40], "PE\0\0", 4);
  put16(0x44, shape.pe32Plus ? 0x8664 : 0x14c);
  put16(0x46, 1);  // one section
  std::size_t optional = 0x58;
  std::uint16_t optionalSize = shape.pe32Plus ? 240 : 224;
  put16(0x54, optionalSize);
  put16(optional, shape.pe32Plus ? 0x20b : 0x10b);
  std::size_t directories = optional + (shape.pe32Plus ? 112 : 96);
  WriteLe32(file, directories - 4, 16);
  std::size_t section = optional + optionalSize;
  std::memcpy(&file[section], ".data", 5);
  WriteLe32(file, section + 16, 0x200);  // raw size
  WriteLe32(file, section + 20, 0x200);  // raw offset
  std::memcpy(&file[kBuiltBlockOffset], MakeTemplateBlock(shape.templateText).bytes, kTemplateBlockSize);
  file += shape.overlay;
  if (!shape.certificate.empty()) {
    file.resize((file.size() + 7) / 8 * 8, '\0');
    WriteLe32(file, directories + 8 * 4, static_cast<std::uint32_t>(file.size()));
    WriteLe32(file, directories + 8 * 4 + 4, static_cast<std::uint32_t>(shape.certificate.size()));
    file += shape.certificate;
  }
  if (shape.checksum) WriteLe32(file, optional + 64, ComputePeChecksum(file, optional + 64));
  return file;
}
