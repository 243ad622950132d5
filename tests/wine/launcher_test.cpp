// opener.exe and opener-wait.exe as real processes: started with exact raw command lines
// through CreateProcessW, starting the tests' recorder.
#include "launcher_fixture.h"
#include "rows.h"

namespace {

// `base` followed by as many two-byte Cyrillic letters as leave room for "\" and `file`
// within 259 UTF-16 characters (CreateProcessW refuses a longer path): from any checkout,
// a folder whose file's UTF-8 path is longer than 260 bytes.
std::wstring LongNonAsciiFolder(const std::wstring& base, const std::wstring& file) {
  const std::wstring letters = L"ДокументыИЗаметкиЗаДекабрь";
  std::wstring folder = base;
  for (std::size_t i = 0; folder.size() + 1 + file.size() < 259; ++i) folder += letters[i % letters.size()];
  return folder;
}

struct CommandLineRow : NamedRow {
  const char* commandLine;       // "{own}" stands for the launcher's full path
  const char* gets;              // what the recorder's command line holds after "recorder.exe "
  const char* folder = nullptr;  // installs the launcher and recorder.exe in a long folder of this name, one
                                 // for each launcher (rows run at once)
};

class CommandLines : public Launcher, public testing::WithParamInterface<std::tuple<Kind, CommandLineRow>> {};

// Every row gives both launchers the same tail.
TEST_P(CommandLines, StartTheTemplateWithTheTail) {
  auto [kind, row] = GetParam();
  std::wstring launcher = kind.path;
  if (row.folder) {
    const std::wstring name = launcher.substr(launcher.rfind(L'\\') + 1);
    std::filesystem::path folder =
        LongNonAsciiFolder(TestDir() + Utf16(row.folder) + L"-" + Utf16(kind.name) + L"-", name);
    std::filesystem::create_directories(folder);
    std::wstring copy = (folder / name).wstring();
    ASSERT_TRUE(CopyFileW(launcher.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((TestDir() + L"recorder.exe").c_str(), (folder / L"recorder.exe").c_str(), FALSE));
    ASSERT_GT(Utf8(copy).size(), 260u);
    launcher = copy;
  }
  EXPECT_EQ(Start(launcher, WithOwnPath(row.commandLine, launcher)), 0u);
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "5\trecorder.exe " + std::string(row.gets));
}

// One row a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Launcher, CommandLines,
    testing::Combine(testing::ValuesIn(kLaunchers), testing::Values(
                    CommandLineRow{"Quoted", R"("{own}" C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    CommandLineRow{"Unquoted", R"({own} C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    CommandLineRow{"QuotedArgument", R"("{own}" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    CommandLineRow{"UnquotedNewNameWithSpaces", R"({own} C:\My Notes\a b.txt  )", R"("C:\My Notes\a b.txt")"},
                    CommandLineRow{"GluedQuotes", R"("{own}""C:\x.txt")", R"(C:\x.txt")"},
                    CommandLineRow{"NoArguments", R"("{own}")", ""},
                    CommandLineRow{"TrailingSpaces", R"("{own}"    )", ""},
                    CommandLineRow{"ShortName", R"(opener-rec C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    CommandLineRow{"ShortQuotedName", R"("opener-rec" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    CommandLineRow{"Tab", "{own}\ta.txt", "\"\ta.txt\""},
                    CommandLineRow{"SeveralArguments", R"("{own}" -n 12  "a b.txt" )", R"(-n 12  "a b.txt")"},
                    CommandLineRow{"QuotedNameAndOptions", R"("{own}" "a b.txt" -n 12  )", R"("a b.txt" -n 12)"},
                    CommandLineRow{"TailHoldsPercentS", R"("{own}" 100%s)", R"("100%s")"},
                    CommandLineRow{"Japanese", "\"{own}\" C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
                        "\"C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt\""},
                    CommandLineRow{"Accents", "\"{own}\" C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt",
                        "\"C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt\""},
                    CommandLineRow{"LongOwnPathQuoted", R"("{own}" "C:\docs\plan.txt")", R"("C:\docs\plan.txt")", "q"},
                    CommandLineRow{"LongOwnPathUnquoted", R"({own} C:\docs\plan.txt)", R"("C:\docs\plan.txt")", "u"})),
    [](const testing::TestParamInfo<std::tuple<Kind, CommandLineRow>>& param) {
      return std::string(std::get<0>(param.param).name) + "_" + std::get<1>(param.param).name;
    });
// clang-format on

TEST_F(Launcher, OwnPathInAnyAsciiCase) {
  std::wstring upper = kRecording;
  for (wchar_t& c : upper) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  EXPECT_EQ(Start(kRecording, upper + L" x"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe \"x\""});
}

TEST_F(Launcher, StartsExactlyOnce) {
  EXPECT_EQ(Start(kRecording, L"\"" + kRecording + L"\" once"), 0u);
  ASSERT_EQ(Records().size(), 1u);
  Sleep(1000);  // a second start would have been asked for before the launcher ended
  EXPECT_EQ(Records().size(), 1u);
}

// What sets the two launchers apart: opener.exe ends at once, opener-wait.exe once its
// program has ended, with that program's exit code.
class EachLauncher : public Launcher, public testing::WithParamInterface<Kind> {
 protected:
  const std::wstring& Path() const { return GetParam().path; }
  bool Waits() const { return GetParam().waits; }
  std::wstring Quoted() const { return L"\"" + Path() + L"\""; }
};

TEST_P(EachLauncher, WaitsOnlyWhenItShould) {
  SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", L"3000");
  EXPECT_EQ(Start(Path(), Quoted() + L" a.txt"), 0u);
  if (Waits()) {
    EXPECT_GE(lifetimeMs_, 3000u);
    EXPECT_TRUE(Exists(record_ + L".done")) << "the launcher ended before the program it started";
  } else {
    EXPECT_LT(lifetimeMs_, 3000u);
    EXPECT_FALSE(Exists(record_ + L".done")) << "the launcher ended only after the program it started";
  }
  EXPECT_EQ(Records().size(), 1u);
  for (int i = 0; i < 200 && !Exists(record_ + L".done"); ++i) Sleep(100);
  EXPECT_TRUE(Exists(record_ + L".done")) << "the started program did not run on by itself";
}

TEST_P(EachLauncher, HandsOnTheProgramsExitCodeWhenItWaits) {
  for (DWORD code : {0ul, 1ul, 42ul, 255ul, 3221225477ul}) {
    SetEnvironmentVariableW(L"OPENER_RECORD_EXIT", std::to_wstring(code).c_str());
    EXPECT_EQ(Start(Path(), Quoted() + L" a.txt"), Waits() ? code : 0u) << code;
  }
}

// Windows keeps the ANSI command line in 65,535 bytes: 21,000 CJK characters (63,000 bytes
// in UTF-8) fit, 30,000 do not, and a cut command line must not be started.
TEST_P(EachLauncher, CutCommandLineStartsNothing) {
  std::wstring fits = Quoted() + L" " + std::wstring(21000, L'\x65e5');
  EXPECT_EQ(Start(Path(), fits), 0u);
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "5\trecorder.exe \"" + Utf8(fits.substr(Quoted().size() + 1)) + "\"");

  DeleteFileW(record_.c_str());
  EXPECT_EQ(Start(Path(), Quoted() + L" " + std::wstring(30000, L'\x65e5')), DWORD{ERROR_FILENAME_EXCED_RANGE});
  Sleep(500);
  EXPECT_TRUE(ReadBytes(Utf8(record_)).empty()) << "a cut command line was started";
}

TEST_P(EachLauncher, ManyAtOnceEachStartTheirOwn) {
  const int count = Waits() ? 20 : 50;
  std::vector<HANDLE> launchers;
  for (int i = 0; i < count; ++i) {
    std::wstring record = record_ + L"." + std::to_wstring(i);
    DeleteFileW(record.c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD", record.c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD_EXIT", std::to_wstring(100 + i).c_str());
    std::wstring commandLine = Quoted() + L" C:\\files\\file-" + std::to_wstring(i) + L".txt";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(Path().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hThread);
    launchers.push_back(process.hProcess);
  }
  EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(count), launchers.data(), TRUE, 60000), WAIT_OBJECT_0);
  for (int i = 0; i < count; ++i) {
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(launchers[static_cast<std::size_t>(i)], &code);
    EXPECT_EQ(code, Waits() ? static_cast<DWORD>(100 + i) : 0u);
    CloseHandle(launchers[static_cast<std::size_t>(i)]);
  }
  for (int i = 0; i < count; ++i) {
    std::vector<std::string> lines = Records(record_ + L"." + std::to_wstring(i), 1);
    EXPECT_EQ(lines, std::vector<std::string>{"5\trecorder.exe \"C:\\files\\file-" + std::to_string(i) + ".txt\""});
  }
}

INSTANTIATE_TEST_SUITE_P(Launcher, EachLauncher, testing::ValuesIn(kLaunchers), RowName());

TEST_F(Launcher, MissingProgramGivesTheSameWinExecErrorFromBoth) {
  DWORD code = Start(TestDir() + L"opener-missing.exe", L"opener-missing a.txt");
  EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
  EXPECT_EQ(Start(TestDir() + L"opener-wait-missing.exe", L"opener-wait-missing a.txt"), code);
}

TEST_F(Launcher, ShippedTemplateNamesAMissingEditor) {
  for (const wchar_t* name : {L"opener", L"opener-wait"}) {
    std::wstring shipped = TestDir() + L"..\\..\\launcher\\" + name + L".exe";
    ASSERT_TRUE(Exists(shipped));
    DWORD code = Start(shipped, name + std::wstring(L" a.txt"));
    EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
    ExpectChecksumSetAndRight(shipped);  // the linker's, with no time stamp in it
  }
}

// As Git for Windows starts its editor: our own path quoted, then the file's path with
// forward slashes, in double quotes when it holds a space. The one template shape,
// "EDITOR" "%s", hands the editor that path whole in every case.
TEST_F(Launcher, ServesAsGitsEditor) {
  std::wstring editor = Retarget(L"opener-wait-git.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"", kWaiting);
  SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", L"1000");
  SetEnvironmentVariableW(L"OPENER_RECORD_APPEND", L"Edited in the editor");
  for (const wchar_t* folder : {L"Work Repos", L"git-message", L"W\x00f6rk R\x00e9pos \x65e5\x672c"}) {
    std::wstring dir = TestDir() + folder;
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring message = dir + L"\\COMMIT_EDITMSG";
    WriteBytes(Utf8(message), "Subject\n");
    std::wstring path = message;
    for (wchar_t& c : path) c = (c == L'\\') ? L'/' : c;
    if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
    EXPECT_EQ(Start(editor, L"\"" + editor + L"\" " + path), 0u);
    EXPECT_EQ(ReadBytes(Utf8(message)), "Subject\nEdited in the editor\n") << Utf8(path);
  }
}

TEST_F(Launcher, ReadsItsBlockAtRunTime) {
  std::wstring copy = Retarget(L"opener-rewritten.exe", "recorder.exe [%s]");
  EXPECT_EQ(Start(copy, L"\"" + copy + L"\" a.txt"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe [a.txt]"});
}

TEST_F(Launcher, TemplateToolPointsACopyAtAnotherProgram) {
  std::wstring copy = TestDir() + L"opener-retargeted.exe";
  std::wstring tool = Utf16(TemplateTool());
  std::wstring commandLine =
      L"opener-template set \"" + kRecording + L"\" \"recorder.exe <%s>\" --output \"" + copy + L"\"";
  DeleteFileW(copy.c_str());
  ASSERT_EQ(Start(tool, commandLine), 0u);

  EXPECT_EQ(Start(copy, L"\"" + copy + L"\" C:\\notes\\plan.txt"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe <C:\\notes\\plan.txt>"});
  ExpectChecksumSetAndRight(copy);
}

// Limits and load.

TEST_F(Launcher, LongestCommandLineArrivesWhole) {
  std::wstring prefix = L"\"" + kRecording + L"\" ";
  std::string tail;
  for (std::size_t i = 0; prefix.size() + tail.size() < 32766; ++i) tail += static_cast<char>('a' + i % 26);
  EXPECT_EQ(Start(kRecording, prefix + Utf16(tail)), 0u);
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "5\trecorder.exe \"" + tail + "\"");
}

// Both launchers call Windows once and say "too long" (206), not "bad format" (11).
TEST_F(Launcher, CommandTooLongForWindowsIsSaidSo) {
  for (const Kind& kind : kLaunchers) {
    std::wstring twice = Retarget(L"opener-twice.exe", "recorder.exe %s %s", kind.path);
    EXPECT_EQ(Start(twice, L"opener-twice " + std::wstring(20000, L'x')), DWORD{ERROR_FILENAME_EXCED_RANGE});
  }
  Sleep(500);
  EXPECT_TRUE(ReadBytes(Utf8(record_)).empty()) << "a command longer than Windows allows was started";
}

TEST_F(Launcher, ProgramInAFolderWithSpaces) {
  std::wstring folder = TestDir() + L"My Tools";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((TestDir() + L"recorder.exe").c_str(), (folder + L"\\recorder.exe").c_str(), FALSE));
  std::string program = Utf8(folder) + "\\recorder.exe";
  const std::string texts[] = {"\"" + program + "\" \"%s\"", program + " \"%s\""};  // quoted, unquoted
  for (int i = 0; i < 2; ++i) {
    DeleteFileW(record_.c_str());
    std::wstring launcher = Retarget(L"opener-spaces-" + std::to_wstring(i) + L".exe", texts[i]);
    EXPECT_EQ(Start(launcher, L"opener-spaces a.txt"), 0u) << texts[i];
    // Windows passes the command on as given; Wine puts quotes around an unquoted
    // program path that it found by trying the space-separated prefixes.
    std::string quoted = "5\t\"" + program + "\" \"a.txt\"";
    std::string asGiven = "5\t" + texts[i].substr(0, texts[i].size() - 4) + "\"a.txt\"";
    std::vector<std::string> lines = Records();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0] == asGiven || lines[0] == quoted) << lines[0];
  }
}

}  // namespace
