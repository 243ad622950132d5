#include "template_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The files and folders that exist, for several names at a quoted "%s".
bool Exists(std::string_view name) {
  for (std::string_view file : {"c.txt", "d.txt", R"(C:\notes\c.txt)", R"(C:\notes\d.txt)", "dir", "dir c.txt"})
    if (name == file) return true;
  return false;
}

std::string Expand(const TemplateBlock& block, std::string_view tail) {
  std::string command;
  ExpandTemplate(block, tail, Exists, command);
  return command;
}

constexpr std::string_view kAsStored = R"(D:\Program Files\ZEPHANTA\Ovrix.exe "%s")";

struct ExpandCase {
  const char* name;
  std::string_view text;
  std::string_view tail;
  std::string_view command;
};

// Names the row in test listings, in place of its raw bytes.
void PrintTo(const ExpandCase& row, std::ostream* out) { *out << row.name; }

class ExpandTable : public testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandTable, Command) {
  EXPECT_EQ(Expand(MakeTemplateBlock(GetParam().text), GetParam().tail), GetParam().command);
}

// One row a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ExpandTable,
    testing::Values(
        ExpandCase{"AsStored", kAsStored, R"(C:\notes\plan.txt)",
                   R"(D:\Program Files\ZEPHANTA\Ovrix.exe "C:\notes\plan.txt")"},
        ExpandCase{"TailBringsQuotes", kAsStored, R"("C:\My Notes\a.txt")",
                   R"(D:\Program Files\ZEPHANTA\Ovrix.exe "C:\My Notes\a.txt")"},
        ExpandCase{"QuotedTailSpacesAfter", R"("E.exe" "%s")", R"("D:\Shared Docs\a.txt"  )",
                   R"("E.exe" "D:\Shared Docs\a.txt")"},
        ExpandCase{"TwoQuotedArguments", R"("E.exe" "%s")", R"("a b" "c d")", R"("E.exe" "a b" "c d")"},
        ExpandCase{"DroppedFiles", R"("E.exe" "%s")", R"("C:\My Notes\a b.txt" C:\notes\c.txt )",
                   R"("E.exe" "C:\My Notes\a b.txt" C:\notes\c.txt)"},
        ExpandCase{"NameAndOption", R"("E.exe" "%s" -r)", R"("a b.txt" -n12)", R"("E.exe" "a b.txt" -n12 -r)"},
        ExpandCase{"TrailingQuoteOnly", R"("E.exe" "%s")", R"(x.txt")", R"("E.exe" x.txt")"},
        ExpandCase{"QuotedEmptyTail", R"("E.exe" "%s")", R"("")", R"("E.exe" "")"},
        ExpandCase{"QuotedThenText", R"("E.exe" "%s")", R"("a b"c)", R"("E.exe" "a b"c)"},
        ExpandCase{"SeveralExistingFiles", R"("E.exe" "%s")", R"(C:\notes\c.txt C:\notes\d.txt)",
                   R"("E.exe" "C:\notes\c.txt" "C:\notes\d.txt")"},
        ExpandCase{"RunsOfSpaces", R"("E.exe" "%s")", "c.txt  d.txt  ", R"("E.exe" "c.txt" "d.txt")"},
        ExpandCase{"WholeNameExists", R"("E.exe" "%s")", "dir c.txt", R"("E.exe" "dir c.txt")"},
        ExpandCase{"OneWordMissing", R"("E.exe" "%s")", "c.txt new.txt", R"("E.exe" "c.txt new.txt")"},
        ExpandCase{"NewNameWithSpaces", R"("E.exe" "%s")", R"(C:\My Notes\new a.txt  )",
                   R"("E.exe" "C:\My Notes\new a.txt")"},
        ExpandCase{"OnlySpaces", R"("E.exe" "%s" -r)", "   ", R"("E.exe"  -r)"},
        ExpandCase{"BareWithSeveralFiles", "E.exe %s", "c.txt d.txt ", "E.exe c.txt d.txt "},
        ExpandCase{"ClosingQuoteTakenOnce", R"("%s"%s")", "a", R"("a"a")"},
        ExpandCase{"UnquotedPlaceholder", "E.exe %s", R"("D:\Shared Docs\a.txt")", R"(E.exe "D:\Shared Docs\a.txt")"},
        ExpandCase{"BothQuotedPlaceholders", R"(cmp "%s" "%s")", R"("a b")", R"(cmp "a b" "a b")"},
        ExpandCase{"MixedPlaceholders", R"(cmp "%s" %s)", R"("a b")", R"(cmp "a b" "a b")"},
        ExpandCase{"PlaceholderInQuotedText", R"(E.exe "%s.bak")", R"("a")", R"(E.exe ""a".bak")"},
        ExpandCase{"EmptyTail", kAsStored, "", R"(D:\Program Files\ZEPHANTA\Ovrix.exe )"},
        ExpandCase{"TwoPlaceholders", "compare %s %s", "a.txt", "compare a.txt a.txt"},
        ExpandCase{"NoPlaceholder", "viewer", "a.txt", "viewer"},
        ExpandCase{"DoublePercent", "run 100%%s", "x", "run 100%x"},
        ExpandCase{"UpperCaseS", "run %S", "x", "run %S"},
        ExpandCase{"EmptyTemplate", "", "x", ""},
        ExpandCase{"TailHoldsPlaceholder", "ed %s", "a%sb", "ed a%sb"},
        ExpandCase{"PlaceholderAtStart", "%s.bak", "a", "a.bak"},
        ExpandCase{"LonePercentAtEnd", "run 5%", "x", "run 5%"},
        ExpandCase{"Utf8Tail", "ed \"%s\"", "C:\\\xe6\x97\xa5.txt", "ed \"C:\\\xe6\x97\xa5.txt\""}),
    [](const testing::TestParamInfo<ExpandCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(Expand, AppendsToTheCommand) {
  std::string command = "kept ";
  ExpandTemplate(MakeTemplateBlock("ed %s"), "a", Exists, command);
  EXPECT_EQ(command, "kept ed a");
}

TEST(Block, FullTemplateWithoutNulIsUsedWhole) {
  std::string text(kMaxTemplateSize, 'x');
  text[0] = '%';
  text[1] = 's';
  TemplateBlock block = MakeTemplateBlock(text);
  EXPECT_EQ(StoredTemplate(block).size(), kMaxTemplateSize);
  EXPECT_EQ(Expand(block, "T"), "T" + std::string(kMaxTemplateSize - 2, 'x'));
}

TEST(Block, PercentInLastByteIsCopied) {
  std::string text(kMaxTemplateSize - 1, 'y');
  text += '%';
  EXPECT_EQ(Expand(MakeTemplateBlock(text), "T"), text);
}

TEST(Block, NoNulAtAllGivesEmptyTemplate) {
  TemplateBlock block;
  std::memset(block.bytes, 's', sizeof block.bytes);
  block.bytes[0] = '%';
  EXPECT_EQ(StoredTemplate(block), "");
  EXPECT_EQ(Expand(block, "T"), "");
}

TEST(Block, FirstNulInLastByteGivesEmptyTemplate) {
  TemplateBlock block;
  std::memset(block.bytes, '%', sizeof block.bytes);
  block.bytes[kTemplateBlockSize - 1] = '\0';
  EXPECT_EQ(Expand(block, "T"), "");
}

TEST(Block, TemplateStartsAfterTheFirstNul) {
  // Without the marker in place, the template still starts after the first NUL.
  TemplateBlock block{};
  std::memcpy(block.bytes, "ab\0ed %s", 8);
  EXPECT_EQ(Expand(block, "T"), "ed T");
}

TEST(Block, TemplateEndsAtItsNul) {
  TemplateBlock block = MakeTemplateBlock("ed %s");
  std::memcpy(block.bytes + kTemplateOffset + 6, "junk %s", 7);  // after the template's NUL
  EXPECT_EQ(Expand(block, "T"), "ed T");
}

}  // namespace
