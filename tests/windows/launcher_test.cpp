// opener.exe and opener-wait.exe as real processes: started with exact raw command lines
// through CreateProcessW, starting the tests' recorder.
#include <windows.h>
#include <imagehlp.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "template_block.h"
#include "windows_text.h"

namespace {

// The folder of this test program, where the test launchers and the recorder are built.
std::wstring TestDir() { return Utf16(ProgramFolder()); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's PE checksum is set, and is the one Windows computes for it.
void ExpectChecksumSetAndRight(const std::wstring& path) {
  DWORD stored = 0, computed = 0;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  EXPECT_NE(CheckSumMappedFile(view, GetFileSize(file, nullptr), &stored, &computed), nullptr);
  EXPECT_NE(stored, 0u);
  EXPECT_EQ(stored, computed);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// `text` with each "{name}" replaced by its value.
std::string Substituted(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values)
    for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), value);
  return text;
}

// Replaces each "{own}" in a row's command line with the launcher's own full path.
std::wstring WithOwnPath(std::string_view pattern, const std::wstring& own) {
  return Utf16(Substituted(std::string(pattern), {{"{own}", Utf8(own)}}));
}

// Both launchers, built with the template recorder.exe "%s", named for test listings by
// what they are.
struct Kind {
  const char* name;
  std::wstring path;
  bool waits;
};
const Kind kOpener{"Opener", TestDir() + L"opener-rec.exe", false};
const Kind kOpenerWait{"OpenerWait", TestDir() + L"opener-wait-rec.exe", true};
const Kind kLaunchers[] = {kOpener, kOpenerWait};
const std::wstring kRecording = kOpener.path;
const std::wstring kWaiting = kOpenerWait.path;

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class Launcher : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) c = (c == '/' || c == '.') ? '-' : c;
    record_ = TestDir() + L"record-" + Utf16(name) + L".txt";
    DeleteFileW(record_.c_str());
    DeleteFileW((record_ + L".done").c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD", record_.c_str());
    for (const wchar_t* variable : {L"OPENER_RECORD_HOLD_MS", L"OPENER_RECORD_APPEND", L"OPENER_RECORD_EXIT",
                                    L"OPENER_RECORD_MODULE", L"OPENER_RECORD_ARGS"})
      SetEnvironmentVariableW(variable, nullptr);
  }

  // Starts `exe` (empty: the program the command line names) with exactly `commandLine`
  // and returns its exit code once it ended; `lifetimeMs_` tells how long it ran.
  DWORD Start(const std::wstring& exe, std::wstring commandLine) {
    ULONGLONG started = GetTickCount64();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.empty() ? nullptr : exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
      ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
      return 0xFFFFFFFF;
    }
    DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    lifetimeMs_ = GetTickCount64() - started;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the launcher did not end";
    return code;
  }

  // The recorder's lines once `count` of them are there (or after 20 seconds).
  std::vector<std::string> Records(std::size_t count = 1) { return Records(record_, count); }
  static std::vector<std::string> Records(const std::wstring& record, std::size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200 && (lines = Lines(ReadBytes(Utf8(record)))).size() < count; ++i) Sleep(100);
    return lines;
  }

  // A copy of a recording launcher whose block now holds `text`.
  static std::wstring Retarget(const std::wstring& name, const std::string& text,
                               const std::wstring& launcher = kRecording) {
    std::wstring copy = TestDir() + name;
    EXPECT_LE(text.size(), kMaxTemplateSize) << "the test folder's path is too long for this template";
    EXPECT_TRUE(CopyFileW(launcher.c_str(), copy.c_str(), FALSE));
    std::string bytes = ReadBytes(Utf8(copy));
    std::size_t block = bytes.find(kTemplateMarker);
    EXPECT_NE(block, std::string::npos);
    EXPECT_EQ(bytes.find(kTemplateMarker, block + 1), std::string::npos);
    if (block == std::string::npos || text.size() > kMaxTemplateSize) return copy;
    bytes.replace(block, kTemplateBlockSize, MakeTemplateBlock(text).bytes, kTemplateBlockSize);
    WriteBytes(Utf8(copy), bytes);
    return copy;
  }

  std::wstring record_;
  ULONGLONG lifetimeMs_ = 0;
};

// `base` followed by as many two-byte Cyrillic letters as leave room for "\" and `file`
// within 259 UTF-16 characters (CreateProcessW refuses a longer path): from any checkout,
// a folder whose file's UTF-8 path is longer than 260 bytes.
std::wstring LongNonAsciiFolder(const std::wstring& base, const std::wstring& file) {
  const std::wstring letters = L"ДокументыИЗаметкиЗаДекабрь";
  std::wstring folder = base;
  for (std::size_t i = 0; folder.size() + 1 + file.size() < 259; ++i) folder += letters[i % letters.size()];
  return folder;
}

struct Row {
  const char* name;
  const char* commandLine;  // "{own}" stands for the launcher's full path
  const char* gets;         // what the recorder's command line holds after "recorder.exe "
  const char* folder = nullptr;  // installs the launcher and recorder.exe in a long folder of this name, one
                                 // for each launcher (rows run at once)
};

// Names the row in test listings, in place of its raw bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class CommandLines : public Launcher, public testing::WithParamInterface<std::tuple<Kind, Row>> {};

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

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLines,
    testing::Combine(testing::ValuesIn(kLaunchers), testing::Values(
                    Row{"Quoted", R"("{own}" C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    Row{"Unquoted", R"({own} C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    Row{"QuotedArgument", R"("{own}" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    Row{"UnquotedNewNameWithSpaces", R"({own} C:\My Notes\a b.txt  )", R"("C:\My Notes\a b.txt")"},
                    Row{"GluedQuotes", R"("{own}""C:\x.txt")", R"(C:\x.txt")"},
                    Row{"NoArguments", R"("{own}")", ""},
                    Row{"TrailingSpaces", R"("{own}"    )", ""},
                    Row{"ShortName", R"(opener-rec C:\notes\plan.txt)", R"("C:\notes\plan.txt")"},
                    Row{"ShortQuotedName", R"("opener-rec" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    Row{"Tab", "{own}\ta.txt", "\"\ta.txt\""},
                    Row{"SeveralArguments", R"("{own}" -n 12  "a b.txt" )", R"(-n 12  "a b.txt")"},
                    Row{"QuotedNameAndOptions", R"("{own}" "a b.txt" -n 12  )", R"("a b.txt" -n 12)"},
                    Row{"TailHoldsPercentS", R"("{own}" 100%s)", R"("100%s")"},
                    Row{"Japanese", "\"{own}\" C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
                        "\"C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt\""},
                    Row{"Accents", "\"{own}\" C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt",
                        "\"C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt\""},
                    Row{"LongOwnPathQuoted", R"("{own}" "C:\docs\plan.txt")", R"("C:\docs\plan.txt")", "q"},
                    Row{"LongOwnPathUnquoted", R"({own} C:\docs\plan.txt)", R"("C:\docs\plan.txt")", "u"})),
    [](const testing::TestParamInfo<std::tuple<Kind, Row>>& param) {
      return std::string(std::get<0>(param.param).name) + "_" + std::get<1>(param.param).name;
    });

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

INSTANTIATE_TEST_SUITE_P(Both, EachLauncher, testing::ValuesIn(kLaunchers),
                         [](const testing::TestParamInfo<Kind>& param) { return std::string(param.param.name); });

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
  std::wstring commandLine = L"opener-template set \"" + kRecording + L"\" \"recorder.exe <%s>\" --output \"" + copy + L"\"";
  DeleteFileW(copy.c_str());
  ASSERT_EQ(Start(tool, commandLine), 0u);

  EXPECT_EQ(Start(copy, L"\"" + copy + L"\" C:\\notes\\plan.txt"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe <C:\\notes\\plan.txt>"});
  ExpectChecksumSetAndRight(copy);
}

// opener-template check asks Windows which program a launcher starts, and its verdict
// agrees with what the launcher then really starts (the recorder says which copy ran).
// In each row's own folder: Ed Dir\ed.exe and ed.bat (which starts ed.exe beside it),
// Q Tools (x64)\ed.exe, tools\rec.exe, ed.d\ed.exe, a text file bad.exe, and the launcher.
struct CheckRow {
  const char* name;
  const char* text;      // the template; {dir} stands for the row's folder
  const char* program;   // what check names, under {dir}; "" for none
  DWORD exitCode = 0;    // the launcher's exit code
  bool planted = false;  // a planted Ed.exe beside Ed Dir
  const char* started = nullptr;  // what runs in the end, when not `program` (a batch file's program)
  std::size_t textLength = 0;     // TEXT: a.txt, or this many x's
  bool waits = false;             // opener-wait.exe, which starts its program with CreateProcess
  const char* given = "a.txt";    // TEXT, when textLength is 0
};

void PrintTo(const CheckRow& row, std::ostream* out) { *out << row.name; }

// A row's folder, check-NAME, with its programs, and in it opener.exe: a copy of
// `launcher` whose template is `text`, {dir} standing for the folder and {root} for it
// without its drive.
class CheckFolder : public Launcher {
 protected:
  std::wstring MakeFolder(const char* name, const char* text, bool planted, const std::wstring& launcher) {
    dir_ = TestDir() + L"check-" + Utf16(name);
    const std::wstring recorder = TestDir() + L"recorder.exe";
    for (const wchar_t* folder : {L"", L"\\Ed Dir", L"\\Q Tools (x64)", L"\\tools", L"\\ed.d"})
      CreateDirectoryW((dir_ + folder).c_str(), nullptr);
    for (const wchar_t* program : {L"\\Ed Dir\\ed.exe", L"\\Q Tools (x64)\\ed.exe", L"\\tools\\rec.exe", L"\\ed.d\\ed.exe"})
      EXPECT_TRUE(CopyFileW(recorder.c_str(), (dir_ + program).c_str(), FALSE));
    WriteBytes(Utf8(dir_ + L"\\Ed Dir\\ed.bat"), "@\"%~dp0ed.exe\" %*\r\n");
    WriteBytes(Utf8(dir_ + L"\\run.bat"), "@\"%~dp0Ed Dir\\ed.exe\" %*\r\n");
    WriteBytes(Utf8(dir_ + L"\\bad.exe"), "not a program\r\n");
    DeleteFileW((dir_ + L"\\Ed.exe").c_str());
    if (planted) {
      EXPECT_TRUE(CopyFileW(recorder.c_str(), (dir_ + L"\\Ed.exe").c_str(), FALSE));
    }
    return Retarget(L"check-" + Utf16(name) + L"\\opener.exe",
                    Substituted(text, {{"{dir}", Utf8(dir_)}, {"{root}", Utf8(dir_.substr(2))}}), launcher);
  }
  std::wstring dir_;
};

class CheckAgrees : public CheckFolder, public testing::WithParamInterface<CheckRow> {};

TEST_P(CheckAgrees, WithWhatTheLauncherStarts) {
  const CheckRow& row = GetParam();
  const std::wstring launcher = MakeFolder(row.name, row.text, row.planted, row.waits ? kWaiting : kRecording);
  const std::wstring& dir = dir_;
  const std::string tail = row.textLength ? std::string(row.textLength, 'x') : row.given;
  const std::string tool = TemplateTool();
  ProcessResult check = RunProcess(tool, {"check", Utf8(launcher), tail});
  // As a "%1" association starts the launcher, or as given when TEXT brings quotes.
  const std::string argument = tail.find('"') == std::string::npos ? "\"" + tail + "\"" : tail;
  EXPECT_NE(check.out.find("ran:      \"" + Utf8(launcher) + "\" " + argument + "   ("), std::string::npos) << check.out;
  const std::string program = *row.program ? Utf8(dir) + "\\" + row.program : "";
  const std::string said = check.out.substr(check.out.find("program:  ") + 10);
  if (program.empty()) {
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_EQ(said.rfind("none: ", 0), 0u) << check.out;
    if (row.exitCode != 0) {
      EXPECT_NE(said.find("exit code " + std::to_string(row.exitCode) + ")"), std::string::npos) << check.out;
    }
  } else {
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_EQ(said.substr(0, said.find("   (")), program) << check.out;
  }
  const bool warned = check.out.find("warning:  this program, not ") != std::string::npos;
  EXPECT_EQ(warned, row.planted) << check.out;
  Sleep(500);
  EXPECT_TRUE(ReadBytes(Utf8(record_)).empty()) << "check let the program run";

  SetEnvironmentVariableW(L"OPENER_RECORD_MODULE", L"1");
  EXPECT_EQ(Start(launcher, L"\"" + launcher + L"\" " + Utf16(argument)), row.exitCode);
  if (program.empty()) {
    Sleep(500);
    EXPECT_TRUE(ReadBytes(Utf8(record_)).empty()) << "check said none, yet a program started";
    return;
  }
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  const std::string started = row.started ? Utf8(dir) + "\\" + row.started : program;
  EXPECT_EQ(lines[0].substr(lines[0].rfind('\t') + 1), started);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckAgrees,
    testing::Values(CheckRow{"Quoted", R"("{dir}\Ed Dir\ed.exe" "%s")", R"(Ed Dir\ed.exe)"},
                    CheckRow{"Planted", R"({dir}\Ed Dir\ed.exe "%s")", "Ed.exe", 0, true},
                    CheckRow{"UnquotedNoneShorter", R"({dir}\Q Tools (x64)\ed.exe "%s")", R"(Q Tools (x64)\ed.exe)"},
                    CheckRow{"RelativeInOwnFolder", R"(tools\rec.exe "%s")", R"(tools\rec.exe)"},
                    CheckRow{"TabAfterProgram", "{dir}\\tools\\rec.exe\t\"%s\"", R"(tools\rec.exe)"},
                    CheckRow{"BatchFile", R"("{dir}\Ed Dir\ed.bat" "%s")", R"(Ed Dir\ed.bat)", 0, false, R"(Ed Dir\ed.exe)"},
                    CheckRow{"DotInRelativeFolder", R"(ed.d\ed "%s")", "", 2},
                    CheckRow{"BlankFirst", R"( "{dir}\tools\rec.exe" "%s")", "", 2},
                    CheckRow{"Unclosed", R"("{dir}\tools\rec.exe -n)", "", 2},
                    CheckRow{"UnclosedClosedByTheQuotedName", R"("{dir}\tools\rec.exe %s)", R"(tools\rec.exe)"},
                    CheckRow{"DotInPath", R"("{dir}\tools\.\rec.exe" "%s")", R"(tools\rec.exe)"},
                    CheckRow{"DotDotInPath", R"("{dir}\Ed Dir\..\tools\rec.exe" "%s")", R"(tools\rec.exe)"},
                    CheckRow{"DoubleBackslash", R"("{dir}\tools\\rec.exe" "%s")", R"(tools\rec.exe)"},
                    CheckRow{"TrailingDot", R"("{dir}\tools\rec.exe." "%s")", R"(tools\rec.exe)"},
                    CheckRow{"LongPathPrefix", R"("\\?\{dir}\tools\rec.exe" "%s")", R"(tools\rec.exe)"},
                    CheckRow{"RootRelative", R"("{root}\tools\rec.exe" "%s")", R"(tools\rec.exe)"},
                    CheckRow{"OnlyProgramThere", R"({dir}\tools\rec profiles\work "%s")", R"(tools\rec.exe)"},
                    CheckRow{"BatchBesideTheLauncher", R"(run.bat "%s")", "", 0},
                    CheckRow{"GluedQuote", R"({dir}\tools\rec.exe"%s")", "", 2},
                    CheckRow{"TextFile", R"({dir}\bad.exe "%s")", "", 11},
                    CheckRow{"Missing", R"("{dir}\missing.exe" "%s")", "", 2},
                    CheckRow{"TooLong", R"("{dir}\tools\rec.exe" %s %s)", "", 206, false, nullptr, 20000},
                    CheckRow{"NameAndOption", R"("{dir}\Ed Dir\ed.exe" "%s")", R"(Ed Dir\ed.exe)", 0, false, nullptr, 0,
                             false, R"("a b.txt" -n12)"},
                    CheckRow{"WaitingLauncher", R"({dir}\Ed Dir\ed.exe "%s")", "Ed.exe", 0, true, nullptr, 0, true}),
    [](const testing::TestParamInfo<CheckRow>& row) { return std::string(row.param.name); });

// check's verdicts that no program run for real can show: a launcher started by its own
// template, a template that runs cmd.exe itself, a file that only looks like a launcher.
struct CheckSaysRow {
  const char* name;
  const char* text;  // the template, as in CheckAgrees
  const char* says;  // a line of check's output
  int exitCode;
  bool tampered = false;  // one byte changed outside the block: no launcher of ours
};

void PrintTo(const CheckSaysRow& row, std::ostream* out) { *out << row.name; }

class CheckSays : public CheckFolder, public testing::WithParamInterface<CheckSaysRow> {};

TEST_P(CheckSays, WhatNoRunShows) {
  const CheckSaysRow& row = GetParam();
  const std::wstring launcher = MakeFolder(row.name, row.text, false, kRecording);
  if (row.tampered) {  // one letter of the version resource's names, in UTF-16
    std::string bytes = ReadBytes(Utf8(launcher));
    const std::size_t at = bytes.rfind(std::string("o\0p\0e\0n\0e\0r\0", 12));
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'O';
    WriteBytes(Utf8(launcher), bytes);
  }
  ProcessResult check = RunProcess(TemplateTool(), {"check", Utf8(launcher), "a.txt"});
  EXPECT_EQ(check.exitCode, row.exitCode) << check.out;
  EXPECT_NE(check.out.find(Substituted(row.says, {{"{launcher}", Utf8(launcher)}})), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("warning:  this program, not "), std::string::npos) << check.out;
  Sleep(500);
  EXPECT_TRUE(ReadBytes(Utf8(record_)).empty()) << "check let a program run";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckSays,
    testing::Values(
        CheckSaysRow{"Itself", R"("{dir}\opener.exe" "%s")",
                     "program:  none: the template starts the launcher itself", 1},
        CheckSaysRow{"CmdItself", R"(C:\Windows\System32\cmd.exe /c rem "%s")", "cmd.exe   (Windows starts it)", 0},
        CheckSaysRow{"NotOurs", R"("{dir}\tools\rec.exe" "%s")",
                     "not run:  {launcher} is not a launcher of this release", 1, true}),
    [](const testing::TestParamInfo<CheckSaysRow>& row) { return std::string(row.param.name); });

// As users' callers start the launcher: cmd.exe running a batch file, Explorer's dropped
// files (names quoted only where they hold a space), the shell's ShellExecuteExW (start)
// with parameters, and an association imported with regedit. The recorder says how the
// program it stands for reads its arguments. In each row's folder (with a space in its
// name): c.txt, d.txt, "budget 2027.txt", "naïve 日本.uni", "budget 2027.oqN{x}" and
// "naïve 日本.oq2{x}". The batch file is ASCII (cmd.exe reads it in the OEM code page):
// non-ASCII names come from loops.
struct Caller {
  const char* name;
  const char* batch;     // after: cd /d {dir}, with the launchers' folder on PATH
  std::string arguments;  // what the program reads, tab-separated
  const char* reg = nullptr;  // an association imported with regedit first
};

void PrintTo(const Caller& row, std::ostream* out) { *out << row.name; }

const std::string kUnicodeName = "na\xc3\xafve \xe6\x97\xa5\xe6\x9c\xac";

// An association of .EXT{x} with the command `command` ({reg-own}: the launcher's path).
std::string Association(const std::string& extension, const std::string& command) {
  return "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\" + extension + "{x}]\r\n@=\"opener" + extension + "{x}\"\r\n\r\n" +
         "[HKEY_CLASSES_ROOT\\opener" + extension + "{x}\\shell\\open\\command]\r\n@=\"" + command + "\"\r\n";
}
const std::string kQuotedAssociation = Association(".oq1", R"(\"{reg-own}\" \"%1\")");
const std::string kUnquotedAssociation = Association(".oq2", R"(\"{reg-own}\" %1)");
const std::string kParametersAssociation = Association(".oq3", R"(\"{reg-own}\" \"%1\" %*)");

class Callers : public Launcher, public testing::WithParamInterface<std::tuple<Kind, Caller>> {};

TEST_P(Callers, HandTheProgramItsArguments) {
  const auto& [kind, row] = GetParam();
  const std::wstring dir = TestDir() + L"callers " + Utf16(kind.name) + L" " + Utf16(row.name);
  CreateDirectoryW(dir.c_str(), nullptr);
  std::string regOwn = Utf8(kind.path);  // in a .reg string, each backslash doubled
  for (std::size_t at = 0; (at = regOwn.find('\\', at)) != std::string::npos; at += 2) regOwn.insert(at, 1, '\\');
  const std::wstring file = kind.path.substr(kind.path.rfind(L'\\') + 1);
  auto expand = [&](const std::string& text) {
    return Substituted(text, {{"{dir}", Utf8(dir)}, {"{own}", Utf8(kind.path)}, {"{reg-own}", regOwn},
                              {"{name}", Utf8(file.substr(0, file.size() - 4))}, {"{x}", kind.waits ? "w" : ""}});
  };
  for (const std::string& name : {std::string("c.txt"), std::string("d.txt"), std::string("budget 2027.txt"),
                                  kUnicodeName + ".uni", std::string("budget 2027.oq1{x}"),
                                  std::string("budget 2027.oq3{x}"), kUnicodeName + ".oq2{x}"})
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
    Rows, Callers,
    testing::Combine(
        testing::ValuesIn(kLaunchers),
        testing::Values(
            Caller{"QuotedPath", R"("{own}" "{dir}\budget 2027.txt")", R"({dir}\budget 2027.txt)"},
            Caller{"ShortNameQuoted", R"({name} "{dir}\budget 2027.txt")", R"({dir}\budget 2027.txt)"},
            Caller{"ShortNameUnquoted", R"({name} {dir}\budget 2027.txt)", R"({dir}\budget 2027.txt)"},
            Caller{"NewNameUnquoted", R"({name} {dir}\new plan.txt)", R"({dir}\new plan.txt)"},
            Caller{"ForLoop", R"(for %%f in (*.uni) do {name} "%%f")", kUnicodeName + ".uni"},
            Caller{"DroppedNameWithSpaceAndWithout", R"("{own}" "{dir}\budget 2027.txt" c.txt)",
                   "{dir}\\budget 2027.txt\tc.txt"},
            Caller{"DroppedTwoWithoutSpaces", R"("{own}" c.txt d.txt)", "c.txt\td.txt"},
            Caller{"DroppedThree", R"(for %%f in (*.uni) do "{own}" c.txt "%%~ff" d.txt)",
                   "c.txt\t{dir}\\" + kUnicodeName + ".uni\td.txt"},
            Caller{"StartEmptyTitle", R"(start "" {name} "{dir}\budget 2027.txt")", R"({dir}\budget 2027.txt)"},
            Caller{"StartWithParameters", R"(start "" "{own}" "{dir}\budget 2027.txt" -n12)",
                   "{dir}\\budget 2027.txt\t-n12"},
            Caller{"StartWithNoFile", R"(start "" {name})", ""},
            Caller{"AssociationQuoted", R"(start "" "{dir}\budget 2027.oq1{x}")", R"({dir}\budget 2027.oq1{x})",
                   kQuotedAssociation.c_str()},
            Caller{"AssociationUnquoted", R"(for %%f in (*.oq2{x}) do start "" "%%f")",
                   "{dir}\\" + kUnicodeName + ".oq2{x}", kUnquotedAssociation.c_str()},
            Caller{"AssociationWithParameter", R"(start "" "{dir}\budget 2027.oq3{x}" -n12)",
                   "{dir}\\budget 2027.oq3{x}\t-n12", kParametersAssociation.c_str()})),
    [](const testing::TestParamInfo<std::tuple<Kind, Caller>>& param) {
      return std::string(std::get<0>(param.param).name) + "_" + std::get<1>(param.param).name;
    });

// register and unregister, as users set a file type up. Wine reads only the machine's
// classes: there the type is opened through the shell; the user's are read back.
class FileTypes : public Launcher {
 protected:
  // The tree under `key` as `reg export` writes it; "" where there is none.
  std::string Export(const std::wstring& key) {
    const std::wstring file = record_ + L".reg";
    DeleteFileW(file.c_str());
    Start(L"", L"reg.exe export \"" + key + L"\" \"" + file + L"\" /y");
    return ReadBytes(Utf8(file));
  }
  std::wstring Read(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = L"";
    DWORD size = sizeof value;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_NONE, nullptr, value, &size) != ERROR_SUCCESS)
      return L"(none)";
    return value;
  }
  ProcessResult Tool(const std::vector<std::string>& args) { return RunProcess(TemplateTool(), args); }
};

TEST_F(FileTypes, ForEveryoneOpenThroughTheLauncherAndComeBack) {
  const std::wstring launcher = Retarget(L"opener-typed.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring classes = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\";
  // .oqr belongs to another program first.
  const wchar_t other[] = L"other.oqr", command[] = L"\"C:\\other\\other.exe\" \"%1\"";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.oqr", nullptr, REG_SZ, other, sizeof other);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\other.oqr\\shell\\open\\command", nullptr, REG_SZ, command,
                  sizeof command);
  const std::string before = Export(classes + L".oqr");
  ASSERT_FALSE(before.empty());

  ProcessResult registered = Tool({"register", Utf8(launcher), ".oqr", "--all-users"});
  EXPECT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_EQ(registered.out, ".oqr: Windows starts \"" + Utf8(launcher) + "\" \"%1\"\n");
  const std::string once = Export(classes + L".oqr") + Export(classes + L"opener.opener-typed") +
                           Export(classes + L"Applications\\opener-typed.exe");
  EXPECT_EQ(Tool({"register", Utf8(launcher), ".oqr", "--all-users"}).exitCode, 0);
  EXPECT_EQ(Export(classes + L".oqr") + Export(classes + L"opener.opener-typed") +
                Export(classes + L"Applications\\opener-typed.exe"),
            once)
      << "registering again changed the registry";

  const std::wstring document = TestDir() + L"typed document.oqr";
  WriteBytes(Utf8(document), "text\r\n");
  SHELLEXECUTEINFOW open{};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_NOCLOSEPROCESS;
  open.lpFile = document.c_str();
  open.nShow = SW_SHOW;
  ASSERT_TRUE(ShellExecuteExW(&open));
  if (open.hProcess) {
    WaitForSingleObject(open.hProcess, 30000);
    CloseHandle(open.hProcess);
  }
  EXPECT_EQ(Records(), std::vector<std::string>{"5\t\"" + Utf8(TestDir()) + "recorder.exe\" \"" + Utf8(document) + "\""});

  ProcessResult check = Tool({"check", ".oqr"});
  EXPECT_EQ(check.exitCode, 0) << check.out;
  EXPECT_NE(check.out.find("launcher: " + Utf8(launcher) + "\n"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("program:  " + Utf8(TestDir()) + "recorder.exe   (Windows starts it)"), std::string::npos)
      << check.out;

  EXPECT_EQ(Tool({"unregister", Utf8(launcher), "--all-users"}).exitCode, 0);
  EXPECT_EQ(Export(classes + L".oqr"), before);
  EXPECT_EQ(Export(classes + L"opener.opener-typed") + Export(classes + L"Applications\\opener-typed.exe"), "");
}

TEST_F(FileTypes, ForTheUserReadBackAndComeBack) {
  const std::wstring launcher = Retarget(L"opener-mine.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring classes = L"Software\\Classes\\";
  HKEY key = nullptr;  // there on Windows; a new Wine prefix makes it on first use
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr);
  RegCloseKey(key);
  const std::string before = Export(L"HKEY_CURRENT_USER\\Software\\Classes");
  ASSERT_FALSE(before.empty());
  // Refused, changing nothing: no type, a type that starts programs, a file that is no launcher.
  for (const auto& [file, type] : std::vector<std::pair<std::wstring, std::string>>{
           {launcher, ".a b"}, {launcher, ".a\\b"}, {launcher, ".EXE"}, {TestDir() + L"recorder.exe", ".oqu"}}) {
    ProcessResult refused = Tool({"register", Utf8(file), type});
    EXPECT_EQ(refused.exitCode, 1) << type;
    EXPECT_NE(refused.err, "") << type;
  }
  EXPECT_EQ(Export(L"HKEY_CURRENT_USER\\Software\\Classes"), before);

  // A program the user picked for .oqu with "Open with" and "Always": said, never written.
  const std::wstring choice = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.oqu\\UserChoice";
  const wchar_t picked[] = L"other.oqu";
  RegSetKeyValueW(HKEY_CURRENT_USER, choice.c_str(), L"ProgId", REG_SZ, picked, sizeof picked);
  ProcessResult registered = Tool({"register", Utf8(launcher), ".oqu", ".oqv"});
  RegDeleteKeyW(HKEY_CURRENT_USER, choice.c_str());
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_NE(registered.out.find("\"Always\" comes first (other.oqu)"), std::string::npos) << registered.out;
  EXPECT_EQ(registered.out.find(".oqv: Windows starts nothing\n  but"), std::string::npos) << registered.out;
  const std::wstring command = L"\"" + launcher + L"\" \"%1\"";
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqu", nullptr), L"opener.opener-mine");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqu", L"opener.opener-mine.previous"), L"");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqv\\OpenWithProgids", L"opener.opener-mine"), L"");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"opener.opener-mine\\shell\\open\\command", nullptr), command);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"opener.opener-mine\\DefaultIcon", nullptr),
            L"\"" + TestDir() + L"recorder.exe\",0");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe", L"FriendlyAppName"),
            L"Records how it was started");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe\\shell\\open\\command", nullptr),
            command);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe\\SupportedTypes", L".oqv"), L"");

  EXPECT_EQ(Tool({"unregister", Utf8(launcher), ".oqv"}).exitCode, 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqv", nullptr), L"(none)");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqu", nullptr), L"opener.opener-mine");
  EXPECT_EQ(Tool({"unregister", Utf8(launcher)}).exitCode, 0);
  EXPECT_EQ(Export(L"HKEY_CURRENT_USER\\Software\\Classes"), before);
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
