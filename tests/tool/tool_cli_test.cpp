// opener-template as a program: its messages, exit codes and files. Built both for the
// host and for Windows (run under Wine), so that both programs pass the same cases.
#include <gtest/gtest.h>

#include <thread>

#include "pe_builder.h"
#include "process.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
const std::string kTool = ProgramFolder() + "..\\..\\tool\\opener-template.exe";
#else
const std::string kTool = ProgramFolder() + "../../tool/opener-template";
#endif

class Tool : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    for (char& c : name) c = (c == '/') ? '-' : c;
    folder_ = TestFolder(name);
    exe_ = folder_ + "opener.exe";
    WriteBytes(exe_, BuildPe());
  }

  ProcessResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProcess(kTool, args, input);
  }

  std::string Show(const std::string& path) {
    ProcessResult shown = Run({"show", path});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    return shown.out;
  }

  std::string folder_;
  std::string exe_;
};

TEST_F(Tool, HelpAndVersion) {
  ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage:"), std::string::npos);
  ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "opener-template " OPENER_VERSION "\n");
}

TEST_F(Tool, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"bogus"}, {"show"}, {"show", exe_, exe_}, {"show", "--force", exe_}, {"set", exe_},
      {"set", exe_, "a", "b"}, {"set", exe_, "x", "--frobnicate"}, {"set", exe_, "x", "--from-file", "f"},
      {"set", exe_, "--output"}, {"set", "--offset", exe_, "x"}};
  for (const auto& args : cases) {
    ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
    EXPECT_EQ(result.err.rfind("opener-template: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
  }
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
}

TEST_F(Tool, ShowPrintsTheTemplateAndOffset) {
  EXPECT_EQ(Show(exe_), "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"\n");
  ProcessResult shown = Run({"show", "--offset", exe_});
  EXPECT_EQ(shown.out, "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"\n" + std::to_string(kBuiltBlockOffset) + "\n");
}

TEST_F(Tool, SetRoundTrips) {
  for (std::string text : {std::string(R"("C:\Ed\ed.exe" "%s")"), std::string(), std::string(243, 'y'),
                           std::string("\"C:\\\xe7\xb7\xa8\xe9\x9b\x86\\na\xc3\xafve.exe\" %s"),
                           std::string("run 100%%s \"%s\"")}) {
    ProcessResult set = Run({"set", exe_, text});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(Show(exe_), text + "\n");
  }
}

TEST_F(Tool, FromFileDropsOneNewline) {
  WriteBytes(folder_ + "template.txt", "ed \"%s\"\n\n");
  EXPECT_EQ(Run({"set", exe_, "--from-file", folder_ + "template.txt"}).exitCode, 0);
  EXPECT_EQ(Show(exe_), "ed \"%s\"\n\n");
  EXPECT_EQ(Run({"set", "--from-file", "-", exe_}, "from stdin %s\r\n").exitCode, 0);
  EXPECT_EQ(Show(exe_), "from stdin %s\n");
}

TEST_F(Tool, OutputLeavesTheInput) {
  std::string out = folder_ + "new.exe";
  EXPECT_EQ(Run({"set", exe_, "ed %s", "--output", out}).exitCode, 0);
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
  EXPECT_EQ(Show(out), "ed %s\n");
}

TEST_F(Tool, RefusalsSayWhyAndChangeNothing) {
  struct Case {
    std::string file, text, message;
  };
  std::string pe = BuildPe();
  PeShape signedShape;
  signedShape.certificate = "certificate table";
  const std::vector<Case> cases = {
      {"MZ but nothing else", "ed %s", "not a Windows executable (no MZ header)"},
      {pe.substr(0, 0x300), "ed %s", "the template block does not fit: fewer than 256 bytes from the marker to the end of the file"},
      {pe + "__FILENAME__", "ed %s", "the marker __FILENAME__ stands more than once; which block is the template is ambiguous"},
      {pe, std::string(300, 'z'), "the template is 300 bytes long; the block holds at most 243"},
      {BuildPe(signedShape), "ed %s", "the file is signed (Authenticode); rewriting it breaks the signature (--force removes it)"}};
  for (const Case& c : cases) {
    WriteBytes(exe_, c.file);
    ProcessResult result = Run({"set", exe_, c.text});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "opener-template: " + exe_ + ": " + c.message + "\n");
    EXPECT_EQ(ReadBytes(exe_), c.file);
  }
  ProcessResult missing = Run({"show", folder_ + "missing.exe"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err.rfind("opener-template: " + folder_ + "missing.exe: cannot read: ", 0), 0u) << missing.err;
}

TEST_F(Tool, ForceRemovesTheSignature) {
  PeShape shape;
  shape.certificate = "certificate table";
  WriteBytes(exe_, BuildPe(shape));
  ProcessResult result = Run({"set", "--force", exe_, "ed %s"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "opener-template: " + exe_ + ": warning: the signature was removed; sign the file again\n");
  shape.certificate.clear();
  shape.templateText = "ed %s";
  EXPECT_EQ(ReadBytes(exe_), BuildPe(shape));
}

TEST_F(Tool, WarningsStillWrite) {
  ProcessResult result = Run({"set", exe_, R"(C:\Program Files\Ed\ed.exe)"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err,
            "opener-template: " + exe_ + ": warning: the template has no %s: the file name given to the launcher will be dropped\n"
            "opener-template: " + exe_ + R"(: warning: the program path is not in double quotes and holds a space: Windows may start C:\Program.exe instead; put the path in double quotes)" "\n");
  EXPECT_EQ(Show(exe_), "C:\\Program Files\\Ed\\ed.exe\n");
}

TEST_F(Tool, FailedWriteLeavesNothingBehind) {
  ProcessResult result = Run({"set", exe_, "ed %s", "--output", folder_ + "no such folder/new.exe"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(": cannot write: "), std::string::npos) << result.err;
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
}

TEST_F(Tool, ConcurrentSetsLeaveOneWholeTemplate) {
  std::string a = "\"C:\\A\\a.exe\" \"%s\"" + std::string(200, 'a');
  std::string b = "\"C:\\B\\b.exe\" %s" + std::string(220, 'b');
  for (int round = 0; round < 5; ++round) {
    std::thread first([&] { Run({"set", exe_, a}); });
    std::thread second([&] { Run({"set", exe_, b}); });
    first.join();
    second.join();
    std::string shown = Show(exe_);
    EXPECT_TRUE(shown == a + "\n" || shown == b + "\n") << shown;
  }
}

#ifndef _WIN32
TEST_F(Tool, KeepsPermissionBits) {
  chmod(exe_.c_str(), 0751);
  EXPECT_EQ(Run({"set", exe_, "ed %s"}).exitCode, 0);
  struct stat info {};
  stat(exe_.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0751u);
}
#endif

}  // namespace
