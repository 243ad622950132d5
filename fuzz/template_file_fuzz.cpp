// The template tool's file handling on arbitrary files and templates.
// Input: one byte N, then N bytes of template, then the file. The top bit of N asks for --force.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pe_image.h"
#include "file_identity.h"
#include "program_search.h"
#include "template_block.h"
#include "template_file.h"
#include "file_io.h"
#include "template_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  bool force = (data[0] & 0x80) != 0;
  std::size_t textLength = data[0] & 0x7f;
  if (textLength > size - 1) textLength = size - 1;
  std::string text(reinterpret_cast<const char*>(data + 1), textLength);
  const std::string original(reinterpret_cast<const char*>(data + 1 + textLength), size - 1 - textLength);
  if (textLength == 0x7f) text.append(200, 'x');  // also reach the length limit

  // show and check: never crash; read what they found. Each program Windows may try
  // is a prefix of the command (its leading spaces or quote passed over), ".exe" added or not.
  std::size_t offset = 0;
  bool found = LocateTemplateBlock(original, offset).empty();
  if (found) ReadStoredTemplate(original, offset);
  if (found) Printable(ExpandStoredTemplate(original, offset, text, NameExistsHere));
  ProgramWords program = FindProgram(text);
  std::size_t common = std::min(program.first.size(), program.meant.size());
  Check(program.meant.substr(0, common) == program.first.substr(0, common));
  Check(program.shorter.size() < program.meant.size() || program.shorter.empty());
  for (const std::string& candidate : ProgramCandidates(text)) {
    std::string_view name = candidate;
    if (name.size() >= 4 && name.substr(name.size() - 4) == ".exe" && text.find(name) == std::string::npos)
      name.remove_suffix(4);
    Check(!name.empty() && text.find(name) != std::string::npos);
  }

  // set: a refusal changes nothing; a success changes only the block, the checksum and,
  // with --force, the signature.
  std::string file = original;
  std::vector<std::string> warnings;
  std::string error = RewriteTemplate(file, text, force, warnings);
  if (!error.empty()) {
    Check(file == original);
    return 0;
  }
  Check(found);
  PeImage image;
  Check(ReadPeImage(original, image).empty());
  std::size_t newOffset = 0;
  Check(LocateTemplateBlock(file, newOffset).empty() && newOffset == offset);
  Check(ReadStoredTemplate(file, newOffset) == text);
  bool signatureRemoved = file.size() != original.size();
  Check(!signatureRemoved || force);
  for (std::size_t i = 0; i < file.size(); ++i) {
    bool inBlock = i >= offset && i < offset + kTemplateBlockSize;
    bool inChecksum = i >= image.checksumOffset && i < image.checksumOffset + 4;
    bool inSecurityEntry = signatureRemoved && i >= image.securityEntryOffset && i < image.securityEntryOffset + 8;
    if (!inBlock && !inChecksum && !inSecurityEntry) Check(file[i] == original[i]);
  }
  return 0;
}
