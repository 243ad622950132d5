#include "program_search.h"

#include <gtest/gtest.h>

#include "file_identity.h"
#include "file_io.h"
#include "rows.h"
#include "pe_builder.h"
#include "template_file.h"

namespace {

// What check prints: the command by the launcher's own expansion, and the programs
// Windows tries for it, in its order.
struct CandidatesRow : NamedRow {
  std::string text, tail, command;
  std::vector<std::string> candidates;
};
class CommandAndCandidates : public testing::TestWithParam<CandidatesRow> {};
TEST_P(CommandAndCandidates, AsWindowsReadsThem) {
  PeShape shape;
  shape.templateText = GetParam().text;
  const std::string file = BuildPe(shape);
  EXPECT_EQ(ExpandStoredTemplate(file, kBuiltBlockOffset, GetParam().tail, NameExistsHere), GetParam().command);
  EXPECT_EQ(ProgramCandidates(GetParam().command), GetParam().candidates);
}
INSTANTIATE_TEST_SUITE_P(
    ProgramSearch, CommandAndCandidates,
    testing::Values(
        CandidatesRow{"Quoted",
                      R"("C:\Program Files\Ed\ed.exe" "%s")",
                      R"(C:\notes\plan.txt)",
                      R"("C:\Program Files\Ed\ed.exe" "C:\notes\plan.txt")",
                      {R"(C:\Program Files\Ed\ed.exe)"}},
        CandidatesRow{"QuotedNoExtension", R"("C:\Ed\ed" %s)", "a.txt", R"("C:\Ed\ed" a.txt)", {R"(C:\Ed\ed.exe)"}},
        CandidatesRow{"UnquotedWithSpace",
                      R"(C:\Tools\My Editor.exe %s)",
                      "a.txt",
                      R"(C:\Tools\My Editor.exe a.txt)",
                      {R"(C:\Tools\My.exe)", R"(C:\Tools\My Editor.exe)", R"(C:\Tools\My Editor.exe a.txt)"}},
        CandidatesRow{"UnquotedFolderWithSpace",
                      R"(C:\Program Files\Ed\ed "%s")",
                      "x",
                      R"(C:\Program Files\Ed\ed "x")",
                      {R"(C:\Program.exe)", R"(C:\Program Files\Ed\ed.exe)"}},
        CandidatesRow{"BareName", "notepad %s", "a", "notepad a", {"notepad.exe", "notepad a.exe"}},
        CandidatesRow{"EmptyName", R"("" %s)", "a", R"("" a)", {}},
        CandidatesRow{"TwoPlaceholders",
                      "compare.exe %s %s",
                      "a.txt",
                      "compare.exe a.txt a.txt",
                      {"compare.exe", "compare.exe a.txt", "compare.exe a.txt a.txt"}},
        // A quoted tail at a quoted %s goes in without its own quotes.
        CandidatesRow{"QuotedTailAtQuotedPlaceholder",
                      R"("C:\Ed\ed.exe" "%s")",
                      R"("C:\My Notes\a.txt")",
                      R"("C:\Ed\ed.exe" "C:\My Notes\a.txt")",
                      {R"(C:\Ed\ed.exe)"}},
        // As Windows reads them: a tab ends a word, a dot anywhere in a relative name
        // keeps .exe off, a blank first or an unclosed quote names nothing.
        CandidatesRow{"TabEndsTheWord", "C:\\Ed\\ed\t\"%s\"", "a", "C:\\Ed\\ed\t\"a\"", {R"(C:\Ed\ed.exe)"}},
        CandidatesRow{"DotInRelativeName", R"(ed.d\ed "%s")", "a", R"(ed.d\ed "a")", {R"(ed.d\ed)"}},
        CandidatesRow{"DotInFolder", R"(C:\Ed.d\ed "%s")", "a", R"(C:\Ed.d\ed "a")", {R"(C:\Ed.d\ed.exe)"}},
        CandidatesRow{"BlankFirst", R"( "C:\Ed\ed.exe" "%s")", "a", R"( "C:\Ed\ed.exe" "a")", {}},
        CandidatesRow{"UnclosedQuote", R"("C:\Ed\ed.exe %s)", "a", R"("C:\Ed\ed.exe a)", {}},
        CandidatesRow{"GluedQuote", R"(C:\Tools\ed.exe"%s")", "a", R"(C:\Tools\ed.exe"a")", {}}),
    RowName());

TEST(ProgramSearch, WhereWindowsLooks) {
  // Where Windows looks: the launcher's folder first for any relative name.
  const std::vector<std::pair<std::string, std::string>> places = {
      {R"(C:\Ed\ed.exe)", ""},
      {"D:ed.exe", "in the current folder of drive D:"},
      {R"(..\ed.exe)", "from the current folder"},
      {R"(tools\ed.exe)", "in the launcher's folder, the current folder, the system folders, then each folder on PATH"},
      {"ed.exe",
       "in the launcher's folder, the current folder (unless NoDefaultCurrentDirectoryInExePath is set), "
       "the system folders, then each folder on PATH"}};
  for (const auto& [candidate, where] : places) EXPECT_EQ(WhereWindowsLooks(candidate), where) << candidate;
}

// The batch file that cmd.exe runs for a template's .bat or .cmd.
TEST(ProgramSearch, BatchFile) {
  EXPECT_TRUE(IsBatchName(R"(C:\Ed Dir\ED.BAT)"));
  EXPECT_TRUE(IsBatchName("run.cmd"));
  EXPECT_FALSE(IsBatchName(R"(C:\Windows\System32\cmd.exe)"));
  EXPECT_EQ(BatchFileOf(R"(C:\windows\syswow64\cmd.exe /s/c ""C:\Ed Dir\ed.bat" "a b"")"), R"(C:\Ed Dir\ed.bat)");
  EXPECT_EQ(BatchFileOf(R"(C:\Windows\system32\cmd.exe /c "C:\x\ed.cmd a.txt")"), R"(C:\x\ed.cmd)");
  EXPECT_EQ(BatchFileOf(R"(C:\Ed\ed.exe a)"), "");
}

}  // namespace
