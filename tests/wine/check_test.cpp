// opener-template check under Wine: its verdict against what the launcher then really
// starts, and what it says where nothing may run.
#include "launcher_fixture.h"
#include "rows.h"

namespace {

// opener-template check asks Windows which program a launcher starts, and its verdict
// agrees with what the launcher then really starts (the recorder says which copy ran).
// In each row's own folder: Ed Dir\ed.exe and ed.bat (which starts ed.exe beside it),
// Q Tools (x64)\ed.exe, tools\rec.exe, ed.d\ed.exe, a text file bad.exe, and the launcher.
struct CheckRow : NamedRow {
  const char* text;               // the template; {dir} stands for the row's folder
  const char* program;            // what check names, under {dir}; "" for none
  DWORD exitCode = 0;             // the launcher's exit code
  bool planted = false;           // a planted Ed.exe beside Ed Dir
  const char* started = nullptr;  // what runs in the end, when not `program` (a batch file's program)
  std::size_t textLength = 0;     // TEXT: a.txt, or this many x's
  bool waits = false;             // opener-wait.exe, which starts its program with CreateProcess
  const char* given = "a.txt";    // TEXT, when textLength is 0
};

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
    for (const wchar_t* program :
         {L"\\Ed Dir\\ed.exe", L"\\Q Tools (x64)\\ed.exe", L"\\tools\\rec.exe", L"\\ed.d\\ed.exe"})
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
  EXPECT_NE(check.out.find("ran:      \"" + Utf8(launcher) + "\" " + argument + "   ("), std::string::npos)
      << check.out;
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
    Check, CheckAgrees,
    testing::Values(CheckRow{"Quoted", R"("{dir}\Ed Dir\ed.exe" "%s")", R"(Ed Dir\ed.exe)"},
                    CheckRow{"Planted", R"({dir}\Ed Dir\ed.exe "%s")", "Ed.exe", 0, true},
                    CheckRow{"UnquotedNoneShorter", R"({dir}\Q Tools (x64)\ed.exe "%s")", R"(Q Tools (x64)\ed.exe)"},
                    CheckRow{"RelativeInOwnFolder", R"(tools\rec.exe "%s")", R"(tools\rec.exe)"},
                    CheckRow{"TabAfterProgram", "{dir}\\tools\\rec.exe\t\"%s\"", R"(tools\rec.exe)"},
                    CheckRow{"BatchFile", R"("{dir}\Ed Dir\ed.bat" "%s")", R"(Ed Dir\ed.bat)", 0, false,
                             R"(Ed Dir\ed.exe)"},
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
    RowName());

// check's verdicts that no program run for real can show: a launcher started by its own
// template, a template that runs cmd.exe itself, a file that only looks like a launcher.
struct CheckSaysRow : NamedRow {
  const char* text;  // the template, as in CheckAgrees
  const char* says;  // a line of check's output
  int exitCode;
  bool tampered = false;  // one byte changed outside the block: no launcher of ours
};

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

INSTANTIATE_TEST_SUITE_P(Check, CheckSays,
                         testing::Values(CheckSaysRow{"Itself", R"("{dir}\opener.exe" "%s")",
                                                      "program:  none: the template starts the launcher itself", 1},
                                         CheckSaysRow{"CmdItself", R"(C:\Windows\System32\cmd.exe /c rem "%s")",
                                                      "cmd.exe   (Windows starts it)", 0},
                                         CheckSaysRow{"NotOurs", R"("{dir}\tools\rec.exe" "%s")",
                                                      "not run:  {launcher} is not a launcher of this release", 1,
                                                      true}),
                         RowName());

}  // namespace
