#include "template_file.h"

#include <gtest/gtest.h>

#include "rows.h"

#include "pe_builder.h"

namespace {

constexpr std::size_t kChecksumOffset = 0x58 + 64;

// Every byte but the template block and the CheckSum field.
std::string Outside(std::string file) {
  file.replace(kBuiltBlockOffset, kTemplateBlockSize, kTemplateBlockSize, '.');
  file.replace(kChecksumOffset, 4, 4, '.');
  return file;
}

struct TextRow : NamedRow {
  std::string text;
  // The PE checksums of the rewritten PE32 and PE32+ files, as Windows' own
  // CheckSumMappedFile (imagehlp) computes them, read once under Wine.
  std::uint32_t checksum32, checksum64;
};

class RoundTrip : public testing::TestWithParam<TextRow> {};

TEST_P(RoundTrip, SetThenShowGivesTheTemplateBack) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    PeShape shape;
    shape.pe32Plus = pe32Plus;
    shape.overlay = "appended data";
    const std::string original = BuildPe(shape);
    std::string file = original;
    std::vector<std::string> warnings;
    ASSERT_EQ(RewriteTemplate(file, GetParam().text, false, warnings), "");
    std::size_t offset = 0;
    ASSERT_EQ(LocateTemplateBlock(file, offset), "");
    EXPECT_EQ(offset, kBuiltBlockOffset);
    EXPECT_EQ(ReadStoredTemplate(file, offset), GetParam().text);
    EXPECT_EQ(Outside(file), Outside(original));
    std::string rest =
        file.substr(offset + kTemplateOffset + GetParam().text.size(), kMaxTemplateSize - GetParam().text.size());
    EXPECT_EQ(rest, std::string(rest.size(), '\0'));
    EXPECT_EQ(ReadLe32(file, kChecksumOffset), pe32Plus ? GetParam().checksum64 : GetParam().checksum32);
  }
}

INSTANTIATE_TEST_SUITE_P(
    TemplateFile, RoundTrip,
    testing::Values(TextRow{"AsShipped", R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "%s")", 0xcc49, 0x5272},
                    TextRow{"FillsTheBlock", std::string(243, 'x'), 0x388a, 0xbeb2},
                    TextRow{"TwoPlaceholders", R"("C:\Ed\ed.exe" -n "%s" "%s")", 0x87f5, 0x0e1e},
                    TextRow{"Backslashes", R"(C:\a\\b\ %)", 0x4e12, 0xd43a},
                    TextRow{"PercentForms", "run 100%%s %S", 0xaa1c, 0x3045},
                    TextRow{"NonAscii", "\"C:\\\xe7\xb7\xa8\xe9\x9b\x86\\ed.exe\" \"%s\"", 0x4b24, 0xd14c}),
    RowName());

TEST(TemplateFile, RewriteZeroChecksumStaysZero) {
  PeShape shape;
  shape.checksum = false;
  std::string file = BuildPe(shape);
  std::vector<std::string> warnings;
  ASSERT_EQ(RewriteTemplate(file, "ed %s", false, warnings), "");
  EXPECT_EQ(ReadLe32(file, kChecksumOffset), 0u);
}

TEST(TemplateFile, RewriteShortTemplateClearsTheOldOne) {
  std::string file = BuildPe();
  std::vector<std::string> warnings;
  ASSERT_EQ(RewriteTemplate(file, "ed %s", false, warnings), "");
  EXPECT_EQ(file.substr(kBuiltBlockOffset, kTemplateBlockSize),
            std::string("__FILENAME__\0ed %s", 18) + std::string(kTemplateBlockSize - 18, '\0'));
}

struct RefusalRow : NamedRow {
  std::string file;
  std::string text;
  std::string message;
  bool evenWithForce = true;  // --force changes nothing
};

std::string WithBytes(std::string file, std::size_t at, std::string_view bytes) {
  return file.replace(at, bytes.size(), bytes);
}

class Refusals : public testing::TestWithParam<RefusalRow> {};

TEST_P(Refusals, LeaveTheFileAsItWas) {
  for (bool force : {false, true}) {
    if (force && !GetParam().evenWithForce) continue;
    std::string file = GetParam().file;
    std::vector<std::string> warnings;
    EXPECT_EQ(RewriteTemplate(file, GetParam().text, force, warnings), GetParam().message) << force;
    EXPECT_EQ(file, GetParam().file);
  }
}

const std::string kPe = BuildPe();
// A section whose raw data starts at 0 and a marker inside the optional header, over
// the CheckSum field: rewriting the block would corrupt the headers.
std::string OverlappingHeaders() {
  std::string file = WithBytes(kPe, kBuiltBlockOffset, "__FILENAMEX_");
  WriteLe32(file, 0x58 + 224 + 20, 0);  // raw offset of the one section
  return WithBytes(file, 0x90, std::string("__FILENAME__\0", 13));
}

PeShape SignedShape() {
  PeShape shape;
  shape.certificate = std::string(24, 'C');
  return shape;
}
const std::string kSigned = BuildPe(SignedShape());

// A security directory entry saying the certificate table is at `offset`, `size` bytes long.
std::string WithCertificateEntry(std::uint32_t offset, std::uint32_t size) {
  std::string file = kPe + std::string(0x100, 'C');
  WriteLe32(file, 0x58 + 96 + 8 * 4, offset);
  WriteLe32(file, 0x58 + 96 + 8 * 4 + 4, size);
  return file;
}
const std::uint32_t kEnd = static_cast<std::uint32_t>(kPe.size() + 0x100);
const char kNotACertificateTable[] =
    "the file's security directory does not point at a certificate table after the program, at the end of the file; "
    "cannot remove it";

INSTANTIATE_TEST_SUITE_P(
    TemplateFile, Refusals,
    testing::Values(
        RefusalRow{"Empty", "", "ed %s", "not a Windows executable (no MZ header)"},
        RefusalRow{"NoMz", WithBytes(kPe, 0, "ZM"), "ed %s", "not a Windows executable (no MZ header)"},
        RefusalRow{"NoPeSignature", WithBytes(kPe, 0x40, "PX"), "ed %s",
                   "not a Windows executable (no PE signature where the MZ header points)"},
        RefusalRow{"PeOffsetPastTheEnd", WithBytes(kPe, 0x3c, "\xff\xff\xff\x7f"), "ed %s",
                   "not a Windows executable (no PE signature where the MZ header points)"},
        RefusalRow{"NoMarker", WithBytes(kPe, kBuiltBlockOffset, "__FILENAMEX_"), "ed %s",
                   "no template block (the marker __FILENAME__ is not in the file)"},
        RefusalRow{"MarkerTwice", WithBytes(kPe, 0x300, "__FILENAME__"), "ed %s",
                   "the marker __FILENAME__ stands more than once; which block is the template is ambiguous"},
        RefusalRow{"BlockCutShort", kPe.substr(0, kBuiltBlockOffset + 255), "ed %s",
                   "the template block does not fit: fewer than 256 bytes from the marker to the end of the file"},
        RefusalRow{"NoNulAfterMarker", WithBytes(kPe, kBuiltBlockOffset + 12, "x"), "ed %s",
                   "the template block does not fit: no NUL after the marker"},
        RefusalRow{"BlockInOverlay",
                   WithBytes(kPe, kBuiltBlockOffset, "__FILENAMEX_") + "__FILENAME__" + std::string(244, '\0'), "ed %s",
                   "the template block lies outside the program's sections, where the launcher never reads it"},
        RefusalRow{"BlockOverlapsHeaders", OverlappingHeaders(), "ed %s", "the template block overlaps the PE headers"},
        RefusalRow{"TooLong", kPe, std::string(244, 'x'),
                   "the template is 244 bytes long; the block holds at most 243"},
        RefusalRow{"NulInside", kPe, std::string("ed\0%s", 5), "the template holds a NUL byte"},
        RefusalRow{"EmptyTemplate", kPe, "", "the template is empty: the launcher would start nothing"},
        RefusalRow{"C1Csi", kPe,
                   "ed \xc2\x9b"
                   "2J %s",
                   "the template holds a control character (<0xC2><0x9B> at byte 3); only tab may stand in a command"},
        RefusalRow{"C1NextLine", kPe,
                   "\"C:\\\xc3\xa9"
                   "d\\ed.exe\" %s\xc2\x85",
                   "the template holds a control character (<0xC2><0x85> at byte 18); only tab may stand in a command"},
        RefusalRow{"Signed", kSigned, "ed %s",
                   "the file is signed (Authenticode); rewriting it breaks the signature (--force removes it)", false},
        RefusalRow{"CarriageReturn", kPe, "evil.exe [%s]\r\"C:\\Ed\\ed.exe\" \"%s\"",
                   "the template holds a control character (<0x0D> at byte 13); only tab may stand in a command"},
        RefusalRow{"LineFeed", kPe, "ed %s\n",
                   "the template holds a control character (<0x0A> at byte 5); only tab may stand in a command"},
        RefusalRow{"HoldsTheMarker", kPe, "ed __FILENAME__ %s",
                   "the template holds the marker __FILENAME__; the block could not be found again"},
        // Bogus entries that --force would once have cut: into the program's section, the last
        // byte alone, unaligned, too short to be a table, not reaching the end.
        RefusalRow{"CertificateInASection", WithCertificateEntry(0x300, kEnd - 0x300), "ed %s", kNotACertificateTable},
        RefusalRow{"CertificateOfNothing", WithCertificateEntry(kEnd - 1, 0), "ed %s", kNotACertificateTable},
        RefusalRow{"CertificateUnaligned", WithCertificateEntry(kEnd - 0x1c, 0x1c), "ed %s", kNotACertificateTable},
        RefusalRow{"CertificateTooShort", WithCertificateEntry(kEnd - 4, 4), "ed %s", kNotACertificateTable},
        RefusalRow{"CertificateShortOfTheEnd", WithCertificateEntry(kEnd - 0x20, 0x18), "ed %s",
                   kNotACertificateTable}),
    RowName());

TEST(TemplateFile, SignatureForceRemovesItCleanly) {
  PeShape shape;
  shape.overlay = "12345";  // the table starts at the next 8-byte boundary: 3 bytes of padding
  shape.certificate = std::string(32, 'C');
  std::string file = BuildPe(shape);
  PeShape unsignedShape;
  unsignedShape.overlay = std::string("12345\0\0\0", 8);
  std::string unsignedFile = BuildPe(unsignedShape);
  std::vector<std::string> warnings;
  ASSERT_EQ(RewriteTemplate(file, "ed %s", true, warnings), "");
  ASSERT_EQ(RewriteTemplate(unsignedFile, "ed %s", false, warnings), "");
  EXPECT_EQ(file, unsignedFile);  // the padding before the table stays
  EXPECT_EQ(warnings.back(), "the signature was removed; sign the file again");
}

TEST(TemplateFile, SignatureTableNotAtTheEndIsNeverCut) {
  std::string file = kSigned + "trailing data";
  std::string before = file;
  std::vector<std::string> warnings;
  EXPECT_EQ(RewriteTemplate(file, "ed %s", true, warnings), kNotACertificateTable);
  EXPECT_EQ(file, before);
}

TEST(TemplateFile, ChecksumMatchesTheKnownAlgorithm) {
  // Words summed with end-around carry, the CheckSum field left out, the size added.
  std::string file = std::string("MZ\x12\x34\x56\x78\0\0\xff\xff\x01", 11);
  // 0x5a4d + 0xffff = 0x15a4c, folded to 0x5a4d; + 0x0001 (odd byte); + 11 bytes.
  EXPECT_EQ(ComputePeChecksum(file, 2), 0x5a4eu + 11u);
}

}  // namespace
