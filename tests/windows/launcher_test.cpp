// opener.exe as a real process: started with exact raw command lines through
// CreateProcessW, starting the tests' recorder through WinExec.
#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Widen(std::string_view utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// The folder of this test program, where the test launchers and the recorder are built.
std::wstring TestDir() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.rfind(L'\\') + 1);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Replaces each "{own}" in a row's command line with the launcher's own full path.
std::wstring WithOwnPath(std::string_view pattern, const std::wstring& own) {
  std::wstring line = Widen(pattern);
  for (std::size_t at; (at = line.find(L"{own}")) != std::wstring::npos;) line.replace(at, 5, own);
  return line;
}

class Launcher : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) c = (c == '/' || c == '.') ? '-' : c;
    record_ = TestDir() + L"record-" + Widen(name) + L".txt";
    DeleteFileW(record_.c_str());
    DeleteFileW((record_ + L".done").c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", nullptr);
  }

  // Starts `exe` with exactly `commandLine` and returns its exit code once it ended.
  DWORD Start(const std::wstring& exe, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
      return 0xFFFFFFFF;
    }
    DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the launcher did not end";
    return code;
  }

  // The recorder's lines once `count` of them are there (or after 20 seconds).
  std::vector<std::string> Records(std::size_t count = 1) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200 && (lines = Lines(ReadFile(record_))).size() < count; ++i) Sleep(100);
    return lines;
  }

  std::wstring record_;
};

const std::wstring kRecording = TestDir() + L"opener-rec.exe";  // recorder.exe "%s"

struct Row {
  const char* name;
  const char* commandLine;  // "{own}" stands for the launcher's full path
  const char* tail;
};

// Names the row in test listings, in place of its raw bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class CommandLines : public Launcher, public testing::WithParamInterface<Row> {};

TEST_P(CommandLines, StartTheTemplateWithTheTail) {
  EXPECT_EQ(Start(kRecording, WithOwnPath(GetParam().commandLine, kRecording)), 0u);
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string("5\trecorder.exe \"") + GetParam().tail + "\"");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLines,
    testing::Values(Row{"Quoted", R"("{own}" C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
                    Row{"Unquoted", R"({own} C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
                    Row{"QuotedArgument", R"("{own}" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    Row{"GluedQuotes", R"("{own}""C:\x.txt")", R"(C:\x.txt")"},
                    Row{"NoArguments", R"("{own}")", ""},
                    Row{"TrailingSpaces", R"("{own}"    )", ""},
                    Row{"ShortName", R"(opener-rec C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
                    Row{"ShortQuotedName", R"("opener-rec" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
                    Row{"Tab", "{own}\ta.txt", "\ta.txt"},
                    Row{"SeveralArguments", R"("{own}" -n 12  "a b.txt" )", R"(-n 12  "a b.txt" )"},
                    Row{"TailHoldsPercentS", R"("{own}" 100%s)", "100%s"},
                    Row{"Japanese", "\"{own}\" C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
                        "C:\\notes\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt"},
                    Row{"Accents", "\"{own}\" C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt",
                        "C:\\Users\\Jos\xc3\xa9\\na\xc3\xafve.txt"}),
    [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

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

TEST_F(Launcher, NeverWaitsForTheProgram) {
  SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", L"4000");
  EXPECT_EQ(Start(kRecording, L"\"" + kRecording + L"\" a.txt"), 0u);
  EXPECT_FALSE(Exists(record_ + L".done")) << "the launcher ended only after the program it started";
  EXPECT_EQ(Records().size(), 1u);
  for (int i = 0; i < 200 && !Exists(record_ + L".done"); ++i) Sleep(100);
  EXPECT_TRUE(Exists(record_ + L".done")) << "the started program did not run on by itself";
}

TEST_F(Launcher, MissingProgramGivesWinExecError) {
  DWORD code = Start(TestDir() + L"opener-missing.exe", L"opener-missing a.txt");
  EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
}

TEST_F(Launcher, ShippedTemplateNamesAMissingEditor) {
  std::wstring shipped = TestDir() + L"..\\..\\launcher\\opener.exe";
  ASSERT_TRUE(Exists(shipped));
  DWORD code = Start(shipped, L"opener a.txt");
  EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
}

TEST_F(Launcher, ReadsItsBlockAtRunTime) {
  std::wstring copy = TestDir() + L"opener-rewritten.exe";
  ASSERT_TRUE(CopyFileW(kRecording.c_str(), copy.c_str(), FALSE));
  std::string bytes = ReadFile(copy);
  std::size_t block = bytes.find("__FILENAME__");
  ASSERT_NE(block, std::string::npos);
  ASSERT_EQ(bytes.find("__FILENAME__", block + 1), std::string::npos);
  std::string text = "recorder.exe [%s]";
  bytes.replace(block + 13, 243, text + std::string(243 - text.size(), '\0'));
  WriteFile(copy, bytes);

  EXPECT_EQ(Start(copy, L"\"" + copy + L"\" a.txt"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe [a.txt]"});
}

TEST_F(Launcher, TemplateToolPointsACopyAtAnotherProgram) {
  std::wstring copy = TestDir() + L"opener-retargeted.exe";
  std::wstring tool = TestDir() + L"..\\..\\tool\\opener-template.exe";
  std::wstring commandLine = L"opener-template set \"" + kRecording + L"\" \"recorder.exe <%s>\" --output \"" + copy + L"\"";
  DeleteFileW(copy.c_str());
  ASSERT_EQ(Start(tool, commandLine), 0u);

  EXPECT_EQ(Start(copy, L"\"" + copy + L"\" C:\\notes\\plan.txt"), 0u);
  EXPECT_EQ(Records(), std::vector<std::string>{"5\trecorder.exe <C:\\notes\\plan.txt>"});

  // The rewritten file's checksum is the one Windows computes for it.
  DWORD stored = 0, computed = 0;
  HANDLE file = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(CheckSumMappedFile(view, GetFileSize(file, nullptr), &stored, &computed), nullptr);
  EXPECT_NE(stored, 0u);
  EXPECT_EQ(stored, computed);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
}

}  // namespace
