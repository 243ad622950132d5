#include "program_search.h"

#include <gtest/gtest.h>

#include "file_io.h"
#include "pe_builder.h"
#include "template_file.h"

namespace {

// What check prints: the command by the launcher's own expansion, and the programs
// Windows tries for it, in its order.
TEST(ProgramSearch, CommandAndCandidates) {
  struct Row {
    std::string text, tail, command;
    std::vector<std::string> candidates;
  };
  const std::vector<Row> rows = {
      {R"("C:\Program Files\Ed\ed.exe" "%s")",
       R"(C:\notes\plan.txt)",
       R"("C:\Program Files\Ed\ed.exe" "C:\notes\plan.txt")",
       {R"(C:\Program Files\Ed\ed.exe)"}},
      {R"("C:\Ed\ed" %s)", "a.txt", R"("C:\Ed\ed" a.txt)", {R"(C:\Ed\ed.exe)"}},
      {R"(C:\Tools\My Editor.exe %s)",
       "a.txt",
       R"(C:\Tools\My Editor.exe a.txt)",
       {R"(C:\Tools\My.exe)", R"(C:\Tools\My Editor.exe)", R"(C:\Tools\My Editor.exe a.txt)"}},
      {R"(C:\Program Files\Ed\ed "%s")",
       "x",
       R"(C:\Program Files\Ed\ed "x")",
       {R"(C:\Program.exe)", R"(C:\Program Files\Ed\ed.exe)"}},
      {"notepad %s", "a", "notepad a", {"notepad.exe", "notepad a.exe"}},
      {R"("" %s)", "a", R"("" a)", {}},
      {"compare.exe %s %s",
       "a.txt",
       "compare.exe a.txt a.txt",
       {"compare.exe", "compare.exe a.txt", "compare.exe a.txt a.txt"}},
      // A quoted tail at a quoted %s goes in without its own quotes.
      {R"("C:\Ed\ed.exe" "%s")",
       R"("C:\My Notes\a.txt")",
       R"("C:\Ed\ed.exe" "C:\My Notes\a.txt")",
       {R"(C:\Ed\ed.exe)"}},
      // As Windows reads them: a tab ends a word, a dot anywhere in a relative name
      // keeps .exe off, a blank first or an unclosed quote names nothing.
      {"C:\\Ed\\ed\t\"%s\"", "a", "C:\\Ed\\ed\t\"a\"", {R"(C:\Ed\ed.exe)"}},
      {R"(ed.d\ed "%s")", "a", R"(ed.d\ed "a")", {R"(ed.d\ed)"}},
      {R"(C:\Ed.d\ed "%s")", "a", R"(C:\Ed.d\ed "a")", {R"(C:\Ed.d\ed.exe)"}},
      {R"( "C:\Ed\ed.exe" "%s")", "a", R"( "C:\Ed\ed.exe" "a")", {}},
      {R"("C:\Ed\ed.exe %s)", "a", R"("C:\Ed\ed.exe a)", {}},
      {R"(C:\Tools\ed.exe"%s")", "a", R"(C:\Tools\ed.exe"a")", {}}};
  for (const Row& row : rows) {
    PeShape shape;
    shape.templateText = row.text;
    const std::string file = BuildPe(shape);
    EXPECT_EQ(ExpandStoredTemplate(file, kBuiltBlockOffset, row.tail, NameExistsHere), row.command) << row.text;
    EXPECT_EQ(ProgramCandidates(row.command), row.candidates) << row.command;
  }
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
