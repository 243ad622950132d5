#include "template_block.h"

#include <gtest/gtest.h>

#include "rows.h"

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

// The template as the launchers are shipped with it.
constexpr std::string_view kAsStored = R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "%s")";

struct ExpandRow : NamedRow {
  std::string_view text;
  std::string_view tail;
  std::string_view command;
};

class ExpandTable : public testing::TestWithParam<ExpandRow> {};

TEST_P(ExpandTable, Command) {
  EXPECT_EQ(Expand(MakeTemplateBlock(GetParam().text), GetParam().tail), GetParam().command);
}

// One row a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    TemplateBlock, ExpandTable,
    testing::Values(
        ExpandRow{"AsStored", kAsStored, R"(C:\notes\plan.txt)",
                   R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "C:\notes\plan.txt")"},
        ExpandRow{"TailBringsQuotes", kAsStored, R"("C:\My Notes\a.txt")",
                   R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "C:\My Notes\a.txt")"},
        ExpandRow{"QuotedTailSpacesAfter", R"("E.exe" "%s")", R"("D:\Shared Docs\a.txt"  )",
                   R"("E.exe" "D:\Shared Docs\a.txt")"},
        ExpandRow{"TwoQuotedArguments", R"("E.exe" "%s")", R"("a b" "c d")", R"("E.exe" "a b" "c d")"},
        ExpandRow{"DroppedFiles", R"("E.exe" "%s")", R"("C:\My Notes\a b.txt" C:\notes\c.txt )",
                   R"("E.exe" "C:\My Notes\a b.txt" C:\notes\c.txt)"},
        ExpandRow{"NameAndOption", R"("E.exe" "%s" -r)", R"("a b.txt" -n12)", R"("E.exe" "a b.txt" -n12 -r)"},
        ExpandRow{"TrailingQuoteOnly", R"("E.exe" "%s")", R"(x.txt")", R"("E.exe" x.txt")"},
        ExpandRow{"QuotedEmptyTail", R"("E.exe" "%s")", R"("")", R"("E.exe" "")"},
        ExpandRow{"QuotedThenText", R"("E.exe" "%s")", R"("a b"c)", R"("E.exe" "a b"c)"},
        ExpandRow{"SeveralExistingFiles", R"("E.exe" "%s")", R"(C:\notes\c.txt C:\notes\d.txt)",
                   R"("E.exe" "C:\notes\c.txt" "C:\notes\d.txt")"},
        ExpandRow{"RunsOfSpaces", R"("E.exe" "%s")", "c.txt  d.txt  ", R"("E.exe" "c.txt" "d.txt")"},
        ExpandRow{"WholeNameExists", R"("E.exe" "%s")", "dir c.txt", R"("E.exe" "dir c.txt")"},
        ExpandRow{"OneWordMissing", R"("E.exe" "%s")", "c.txt new.txt", R"("E.exe" "c.txt new.txt")"},
        ExpandRow{"NewNameWithSpaces", R"("E.exe" "%s")", R"(C:\My Notes\new a.txt  )",
                   R"("E.exe" "C:\My Notes\new a.txt")"},
        ExpandRow{"OnlySpaces", R"("E.exe" "%s" -r)", "   ", R"("E.exe"  -r)"},
        ExpandRow{"BareWithSeveralFiles", "E.exe %s", "c.txt d.txt ", "E.exe c.txt d.txt "},
        ExpandRow{"ClosingQuoteTakenOnce", R"("%s"%s")", "a", R"("a"a")"},
        ExpandRow{"UnquotedPlaceholder", "E.exe %s", R"("D:\Shared Docs\a.txt")", R"(E.exe "D:\Shared Docs\a.txt")"},
        ExpandRow{"BothQuotedPlaceholders", R"(cmp "%s" "%s")", R"("a b")", R"(cmp "a b" "a b")"},
        ExpandRow{"MixedPlaceholders", R"(cmp "%s" %s)", R"("a b")", R"(cmp "a b" "a b")"},
        ExpandRow{"PlaceholderInQuotedText", R"(E.exe "%s.bak")", R"("a")", R"(E.exe ""a".bak")"},
        ExpandRow{"EmptyTail", kAsStored, "", R"("D:\Program Files\ZEPHANTA\Ovrix.exe" )"},
        ExpandRow{"TwoPlaceholders", "compare %s %s", "a.txt", "compare a.txt a.txt"},
        ExpandRow{"NoPlaceholder", "viewer", "a.txt", "viewer"},
        ExpandRow{"DoublePercent", "run 100%%s", "x", "run 100%x"},
        ExpandRow{"UpperCaseS", "run %S", "x", "run %S"},
        ExpandRow{"EmptyTemplate", "", "x", ""},
        ExpandRow{"TailHoldsPlaceholder", "ed %s", "a%sb", "ed a%sb"},
        ExpandRow{"PlaceholderAtStart", "%s.bak", "a", "a.bak"},
        ExpandRow{"LonePercentAtEnd", "run 5%", "x", "run 5%"},
        ExpandRow{"Utf8Tail", "ed \"%s\"", "C:\\\xe6\x97\xa5.txt", "ed \"C:\\\xe6\x97\xa5.txt\""}),
    RowName());
// clang-format on

TEST(TemplateBlock, AppendsToTheCommand) {
  std::string command = "kept ";
  ExpandTemplate(MakeTemplateBlock("ed %s"), "a", Exists, command);
  EXPECT_EQ(command, "kept ed a");
}

TEST(TemplateBlock, FullTemplateWithoutNulIsUsedWhole) {
  std::string text(kMaxTemplateSize, 'x');
  text[0] = '%';
  text[1] = 's';
  TemplateBlock block = MakeTemplateBlock(text);
  EXPECT_EQ(StoredTemplate(block).size(), kMaxTemplateSize);
  EXPECT_EQ(Expand(block, "T"), "T" + std::string(kMaxTemplateSize - 2, 'x'));
}

TEST(TemplateBlock, PercentInLastByteIsCopied) {
  std::string text(kMaxTemplateSize - 1, 'y');
  text += '%';
  EXPECT_EQ(Expand(MakeTemplateBlock(text), "T"), text);
}

TEST(TemplateBlock, NoNulAtAllGivesEmptyTemplate) {
  TemplateBlock block;
  std::memset(block.bytes, 's', sizeof block.bytes);
  block.bytes[0] = '%';
  EXPECT_EQ(StoredTemplate(block), "");
  EXPECT_EQ(Expand(block, "T"), "");
}

TEST(TemplateBlock, FirstNulInLastByteGivesEmptyTemplate) {
  TemplateBlock block;
  std::memset(block.bytes, '%', sizeof block.bytes);
  block.bytes[kTemplateBlockSize - 1] = '\0';
  EXPECT_EQ(Expand(block, "T"), "");
}

TEST(TemplateBlock, TemplateStartsAfterTheFirstNul) {
  // Without the marker in place, the template still starts after the first NUL.
  TemplateBlock block{};
  std::memcpy(block.bytes, "ab\0ed %s", 8);
  EXPECT_EQ(Expand(block, "T"), "ed T");
}

TEST(TemplateBlock, TemplateEndsAtItsNul) {
  TemplateBlock block = MakeTemplateBlock("ed %s");
  std::memcpy(block.bytes + kTemplateOffset + 6, "junk %s", 7);  // after the template's NUL
  EXPECT_EQ(Expand(block, "T"), "ed T");
}

}  // namespace
