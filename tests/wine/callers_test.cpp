// The launchers started as users' callers start them: cmd.exe and batch files, start,
// files dropped as Explorer writes them, file associations.
#include "launcher_fixture.h"
#include "rows.h"

namespace {

// As users' callers start the launcher: cmd.exe running a batch file, Explorer's dropped
// files (names quoted only where they hold a space), the shell's ShellExecuteExW (start)
// with parameters, and an association imported with regedit. The recorder says how the
// program it stands for reads its arguments. In each row's folder (with a space in its
// name): c.txt, d.txt, "budget 2027.txt", "naïve 日本.uni", "budget 2027.oqN{x}" and
// "naïve 日本.oq2{x}". The batch file is ASCII (cmd.exe reads it in the OEM code page):
// non-ASCII names come from loops.
struct CallerRow : NamedRow {
  const char* batch;          // after: cd /d {dir}, with the launchers' folder on PATH
  std::string arguments;      // what the program reads, tab-separated
  const char* reg = nullptr;  // an association imported with regedit first
};

const std::string kUnicodeName = "na\xc3\xafve \xe6\x97\xa5\xe6\x9c\xac";

// An association of .EXT{x} with the command `command` ({reg-own}: the launcher's path).
std::string Association(const std::string& extension, const std::string& command) {
  return "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\" + extension + "{x}]\r\n@=\"opener" + extension + "{x}\"\r\n\r\n" +
         "[HKEY_CLASSES_ROOT\\opener" + extension + "{x}\\shell\\open\\command]\r\n@=\"" + command + "\"\r\n";
}
const std::string kQuotedAssociation = Association(".oq1", R"(\"{reg-own}\" \"%1\")");
const std::string kUnquotedAssociation = Association(".oq2", R"(\"{reg-own}\" %1)");
const std::string kParametersAssociation = Association(".oq3", R"(\"{reg-own}\" \"%1\" %*)");

class Callers : public Launcher, public testing::WithParamInterface<std::tuple<Kind, CallerRow>> {};

TEST_P(Callers, HandTheProgramItsArguments) {
  const auto& [kind, row] = GetParam();
  const std::wstring dir = TestDir() + L"callers " + Utf16(kind.name) + L" " + Utf16(row.name);
  CreateDirectoryW(dir.c_str(), nullptr);
  std::string regOwn = Utf8(kind.path);  // in a .reg string, each backslash doubled
  for (std::size_t at = 0; (at = regOwn.find('\\', at)) != std::string::npos; at += 2) regOwn.insert(at, 1, '\\');
  const std::wstring file = kind.path.substr(kind.path.rfind(L'\\') + 1);
  auto expand = [&](const std::string& text) {
    return Substituted(text, {{"{dir}", Utf8(dir)},
                              {"{own}", Utf8(kind.path)},
                              {"{reg-own}", regOwn},
                              {"{name}", Utf8(file.substr(0, file.size() - 4))},
                              {"{x}", kind.waits ? "w" : ""}});
  };
  for (const std::string& name :
       {std::string("c.txt"), std::string("d.txt"), std::string("budget 2027.txt"), kUnicodeName + ".uni",
        std::string("budget 2027.oq1{x}"), std::string("budget 2027.oq3{x}"), kUnicodeName + ".oq2{x}"})
    WriteBytes(Utf8(dir + L"\\" + Utf16(expand(name))), "text\r\n");
  std::string batch = "@echo off\r\ncd /d \"" + Utf8(dir) + "\"\r\nset PATH=" + Utf8(TestDir()) + ";%PATH%\r\n";
  if (row.reg) {
    WriteBytes(Utf8(dir + L"\\assoc.reg"), expand(row.reg));
    batch += "regedit /S assoc.reg\r\n";
  }
  WriteBytes(Utf8(dir + L"\\run.bat"), batch + expand(row.batch) + "\r\n");
  SetEnvironmentVariableW(L"OPENER_RECORD_ARGS", L"1");
  EXPECT_EQ(Start(L"", L"cmd.exe /c \"" + dir + L"\\run.bat\""), 0u);
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  // After the show mode and the command line, a tab before each argument: none for no
  // argument, one for a single empty one.
  const std::size_t fields = lines[0].find('\t', lines[0].find('\t') + 1);
  const std::string arguments = fields == std::string::npos ? "" : lines[0].substr(fields);
  EXPECT_EQ(arguments, row.arguments.empty() ? "" : "\t" + expand(row.arguments)) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(
    Callers, Callers,
    testing::Combine(
        testing::ValuesIn(kLaunchers),
        testing::Values(CallerRow{"QuotedPath", R"("{own}" "{dir}\budget 2027.txt")", R"({dir}\budget 2027.txt)"},
                        CallerRow{"ShortNameQuoted", R"({name} "{dir}\budget 2027.txt")", R"({dir}\budget 2027.txt)"},
                        CallerRow{"ShortNameUnquoted", R"({name} {dir}\budget 2027.txt)", R"({dir}\budget 2027.txt)"},
                        CallerRow{"NewNameUnquoted", R"({name} {dir}\new plan.txt)", R"({dir}\new plan.txt)"},
                        CallerRow{"ForLoop", R"(for %%f in (*.uni) do {name} "%%f")", kUnicodeName + ".uni"},
                        CallerRow{"DroppedNameWithSpaceAndWithout", R"("{own}" "{dir}\budget 2027.txt" c.txt)",
                                  "{dir}\\budget 2027.txt\tc.txt"},
                        CallerRow{"DroppedTwoWithoutSpaces", R"("{own}" c.txt d.txt)", "c.txt\td.txt"},
                        CallerRow{"DroppedThree", R"(for %%f in (*.uni) do "{own}" c.txt "%%~ff" d.txt)",
                                  "c.txt\t{dir}\\" + kUnicodeName + ".uni\td.txt"},
                        CallerRow{"StartEmptyTitle", R"(start "" {name} "{dir}\budget 2027.txt")",
                                  R"({dir}\budget 2027.txt)"},
                        CallerRow{"StartWithParameters", R"(start "" "{own}" "{dir}\budget 2027.txt" -n12)",
                                  "{dir}\\budget 2027.txt\t-n12"},
                        CallerRow{"StartWithNoFile", R"(start "" {name})", ""},
                        CallerRow{"AssociationQuoted", R"(start "" "{dir}\budget 2027.oq1{x}")",
                                  R"({dir}\budget 2027.oq1{x})", kQuotedAssociation.c_str()},
                        CallerRow{"AssociationUnquoted", R"(for %%f in (*.oq2{x}) do start "" "%%f")",
                                  "{dir}\\" + kUnicodeName + ".oq2{x}", kUnquotedAssociation.c_str()},
                        CallerRow{"AssociationWithParameter", R"(start "" "{dir}\budget 2027.oq3{x}" -n12)",
                                  "{dir}\\budget 2027.oq3{x}\t-n12", kParametersAssociation.c_str()})),
    [](const testing::TestParamInfo<std::tuple<Kind, CallerRow>>& param) {
      return std::string(std::get<0>(param.param).name) + "_" + std::get<1>(param.param).name;
    });

}  // namespace
