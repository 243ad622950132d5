// opener-template's cases that only Windows has: the ANSI code page, files held open by
// another program.
#include <windows.h>

#include "tool_fixture.h"

namespace {

// Where Windows does not grant the UTF-8 code page (before Windows 10 1903; here a copy
// of the tool whose manifest no longer asks for it), no character is lost on the way in,
// and the warning says how the launcher there will read them.
TEST_F(ToolCli, KeepsCharactersOutsideTheCodePage) {
  std::string tool = ReadBytes(kTool);
  for (const char* tag : {"<activeCodePage ", "</activeCodePage>"}) {
    std::size_t at = tool.find(tag);
    ASSERT_NE(at, std::string::npos) << tag;
    tool.replace(tool.find("activeCodePage", at), 14, "activeCodeXage");
  }
  const std::string legacy = folder_ + "opener-template-legacy.exe";
  WriteBytes(legacy, tool);
  const std::string text =
      "\"C:\\\xd0\x9f\xd1\x80\xd0\xbe\xd0\xb3\xd1\x80\xd0\xb0\xd0\xbc\xd0\xbc\xd1\x8b\\ed.exe\" \"%s\"";
  ProcessResult set = RunProcess(legacy, {"set", exe_, text});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_NE(set.err.find("warning: this Windows reads programs' text in code page "), std::string::npos) << set.err;
  EXPECT_EQ(Show(exe_), text + "\n");
  EXPECT_EQ(Run({"set", exe_, text}).err, "") << "the UTF-8 code page is granted: nothing to warn of";
}

// set asks Windows' own search whether the program exists (adding .exe, looking on the
// search path), refuses a launcher that would start itself and a folder for a program,
// and offers --program for a program's path given as the template.
TEST_F(ToolCli, SetAsksWindowsForTheProgram) {
  WriteBytes(folder_ + "ed.exe", "x");
  for (const auto& [program, warns] : std::vector<std::pair<std::string, bool>>{
           {folder_ + "ed", false}, {"notepad.exe", false}, {folder_ + "missing.exe", true}}) {
    ProcessResult set = Run({"set", exe_, "--program", program});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.err.find("Windows finds no program") != std::string::npos, warns) << set.err;
  }
  // A program's path given as the whole template: stored, and --program is offered.
  ProcessResult whole = Run({"set", exe_, folder_ + "ed.exe"});
  EXPECT_NE(whole.err.find("give its path with --program: "), std::string::npos) << whole.err;
  const std::string kept = ReadBytes(exe_);
  for (const auto& [args, why] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"set", exe_, "--program", exe_}, "the template starts the launcher itself"},
           {{"set", exe_, "\"" + exe_ + "\" \"%s\""}, "the template starts the launcher itself"},
           {{"set", exe_, "--program", folder_}, "is a folder, not a program"}}) {
    ProcessResult refused = Run(args);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(why), std::string::npos) << refused.err;
  }
  EXPECT_EQ(ReadBytes(exe_), kept);
}

// OUT held open by another program: the rename fails, said in Windows' own words.
TEST_F(ToolCli, HeldOutputIsSaidInWindowsWords) {
  std::string out = folder_ + "held.exe";
  WriteBytes(out, "held");
  HANDLE held = CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ProcessResult result = Run({"set", exe_, "C:\\Ed\\ed.exe %s", "--output", out});
  CloseHandle(held);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.rfind("opener-template: " + out + ": cannot replace the file: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find("error "), std::string::npos) << "the system's words, not a number: " << result.err;
  EXPECT_EQ(ReadBytes(out), "held");
  EXPECT_FALSE(HoldsTemporaryFile(folder_)) << "left behind";
}

}  // namespace
