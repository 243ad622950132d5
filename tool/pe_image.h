// The few PE header fields the template tool reads and keeps right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PeImage {
  std::size_t headersEnd = 0;      // the end of the section table: all headers lie before
  std::size_t checksumOffset = 0;  // file offset of the optional header's CheckSum
  std::uint32_t checksum = 0;
  std::size_t securityEntryOffset = 0;  // file offset of the security directory entry; 0: none
  std::uint32_t certificateOffset = 0;  // the certificate table (Authenticode), a file offset
  std::uint32_t certificateSize = 0;
  struct Range {
    std::size_t begin, end;
  };
  std::vector<Range> sections;  // each section's raw data in the file
  std::size_t sectionsEnd = 0;  // where the last section's raw data ends, inside the file or not
};

// Reads the headers of `file`; returns what is wrong, or "" when it is a PE executable.
[[nodiscard]] std::string ReadPeImage(std::string_view file, PeImage& image);

// The PE checksum of `file` (the one the loader checks for drivers), leaving out the
// CheckSum field at `checksumOffset`.
std::uint32_t ComputePeChecksum(std::string_view file, std::size_t checksumOffset);

// Cuts `file` at `image`'s certificate table and zeroes its security directory entry:
// the file as it was before it was signed.
void CutCertificateTable(std::string& file, const PeImage& image);

std::uint32_t ReadLe32(std::string_view file, std::size_t offset);
void WriteLe32(std::string& file, std::size_t offset, std::uint32_t value);
