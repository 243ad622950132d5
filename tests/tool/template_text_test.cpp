#include "template_text.h"

#include <gtest/gtest.h>

#include "rows.h"

namespace {

// The texts the warnings are made of.
const std::string noPlaceholder = "the template has no %s: the file name given to the launcher will be dropped";
const std::string notUtf8 =
    "the template is not UTF-8 text: Windows 10 version 1903 and later read it as UTF-8, so its "
    "non-ASCII characters will come out wrong";
auto unquoted = [](const std::string& before) {
  return "the program path is not in double quotes and holds a space: Windows may start " + before +
         " instead; put the path in double quotes";
};
auto relative = [](const std::string& program, const std::string& where =
                                                   "in the launcher's folder, the current "
                                                   "folder, the system folders, then each "
                                                   "folder on PATH") {
  return "the program is named without a full path (" + program + "): Windows looks for it " + where +
         "; the current folder is the caller's, where a file opened from a download folder can bring its own; give "
         "its full path";
};
const std::string bare =
    "in the launcher's folder, the current folder (unless NoDefaultCurrentDirectoryInExePath "
    "is set), the system folders, then each folder on PATH";
const std::string neverStarts = ", and the launcher will start nothing; ";
const std::string codePage1252 =
    "this Windows reads programs' text in code page 1252, not UTF-8: the launcher here will read the template's "
    "non-ASCII characters in that code page, so they will come out wrong (Windows 10 version 1903 and later read "
    "UTF-8)";

struct WarningsRow : NamedRow {
  std::string text;
  std::vector<std::string> warnings;
  unsigned codePage = 0;
};
class Warnings : public testing::TestWithParam<WarningsRow> {};
TEST_P(Warnings, NameWhatWillGoWrong) {
  EXPECT_EQ(TemplateWarnings(GetParam().text, GetParam().codePage), GetParam().warnings);
}
INSTANTIATE_TEST_SUITE_P(
    TemplateText, Warnings,
    testing::ValuesIn(std::vector<WarningsRow>{
        {"Quoted", R"("C:\Program Files\Ed\ed.exe" "%s")", {}},
        {"FullPathUnquoted", R"(C:\Ed\ed.exe "%s")", {}},
        {"Share", R"(\\server\tools\ed.exe %s)", {}},
        {"ComOptionAfter", R"(C:\Tools\ed.com "%s" --log C:\x.exe)", {}},
        {"NonAscii", "\"C:\\\xe7\xb7\xa8\xe9\x9b\x86\\ed.exe\" %s", {}},
        {"BarePlaceholder", "%s", {}},
        {"NoPlaceholder", R"(C:\Ed\viewer)", {noPlaceholder}},
        {"UnquotedSpaceUpperCase", R"(C:\Program Files\Ed\ED.EXE "%s")", {unquoted(R"(C:\Program.exe)")}},
        {"UnquotedSpaceNoExtension", R"(C:\Program Files\Ed\ed "%s")", {unquoted(R"(C:\Program.exe)")}},
        {"UnquotedSpaceSlashes", R"(C:/Program Files/Ed/ed.exe %s)", {unquoted("C:/Program.exe")}},
        {"UnquotedSpaceInName", R"(C:\Tools\My Editor.exe "%s")", {unquoted(R"(C:\Tools\My.exe)")}},
        {"TwoShorterReadings",
         R"(C:\Program Files (x86)\Editor\ed.exe "%s")",
         {unquoted(R"(C:\Program.exe or C:\Program Files.exe)")}},
        {"TabInPath",
         "C:\\Apps\\Visual Edit 2\\ed.exe\t\"%s\"",
         {unquoted(R"(C:\Apps\Visual.exe or C:\Apps\Visual Edit.exe)")}},
        {"TwoPrograms",
         R"(C:\Tools\ed.exe Files\x.exe %s)",
         {R"(the program is not in double quotes, and the text names two programs: C:\Tools\ed.exe (the words after )"
          R"(it its arguments), or C:\Tools\ed.exe Files\x.exe; Windows starts the first that exists; put the one you )"
          "mean in double quotes"}},
        {"OptionWithPath", R"(C:\Tools\ed --log C:\logs\ed.txt "%s")", {}},
        {"SlashOptionWithPath", R"(C:\Tools\ed /log Files\x.exe %s)", {}},
        {"BareName", R"(notepad.exe "%s")", {relative("notepad.exe", bare)}},
        {"RelativeQuoted", R"("tools\ed.exe" "%s")", {relative(R"(tools\ed.exe)")}},
        {"FromCurrentFolder", R"(.\ed.exe "%s")", {relative(R"(.\ed.exe)", "from the current folder")}},
        {"EmptyName",
         R"("" "%s")",
         {"the program's name is empty (\"\"): Windows finds no program" + neverStarts +
          "put the program's path between the quotes"}},
        {"NotUtf8",
         "\"C:\\\xc9"
         "diteur\\ed.exe\" %s",
         {notUtf8}},
        {"ViewerBare", "viewer", {noPlaceholder, relative("viewer", bare)}},
        {"BlankFirst",
         R"(  C:\Ed\ed.exe "%s")",
         {"the template begins with a blank: Windows reads an empty program name there" + neverStarts + "remove it"}},
        {"Unclosed",
         R"("C:\Ed\ed.exe %s)",
         {"the double quote before the program is never closed: Windows finds no program" + neverStarts +
          "close it after the program's path"}},
        {"GluedQuote",
         R"(C:\Tools\ed.exe"%s")",
         {R"(the program (C:\Tools\ed.exe) runs on into a double quote with no space )"
          "between: Windows reads them as one name" +
          neverStarts + "put a space after the program"}},
        {"Variable",
         R"(%systemdrive%\Tools\ed.exe "%s")",
         {"%systemdrive% is not expanded: the launcher starts the command as it stands, and its %s is a placeholder "
          "that the file name replaces; write the value itself"}},
        {"CodePage",
         "\"C:\\\xc3\x89"
         "diteur\\ed.exe\" %s",
         {codePage1252},
         1252}}),
    RowName());

TEST(TemplateText, FromFileAndShown) {
  const std::vector<std::pair<std::string, std::string>> files = {{"ed %s\n", "ed %s"},
                                                                  {"ed %s\r\n", "ed %s"},
                                                                  {"ed %s\n\n", "ed %s\n"},
                                                                  {"\xef\xbb\xbf"
                                                                   "ed %s\r\n",
                                                                   "ed %s"}};
  for (auto [bytes, text] : files) {
    EXPECT_EQ(TemplateFromFile(bytes), "");
    EXPECT_EQ(bytes, text);
  }
  for (std::string utf16 : {std::string("\xff\xfe"
                                        "e\0d\0",
                                        6),
                            std::string("e\0d\0", 4), std::string("\xfe\xff\0e\0d", 6)})
    EXPECT_EQ(TemplateFromFile(utf16), "the template file is UTF-16 text; save it as UTF-8");
  EXPECT_EQ(Printable("evil.exe\r\"C:\\Ed\\ed.exe\"\t%s\x7f"), "evil.exe<0x0D>\"C:\\Ed\\ed.exe\"<0x09>%s<0x7F>");
  // C1 controls, and bytes of no UTF-8 character (a terminal may take 0x9B for CSI); é stays.
  EXPECT_EQ(Printable("a\xc2\x9b"
                      "b\x9b"
                      "c\xc3\xa9\xc2\x85"),
            "a<0xC2><0x9B>b<0x9B>c\xc3\xa9<0xC2><0x85>");
}

}  // namespace
