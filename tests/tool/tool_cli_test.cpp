// opener-template as a program: its messages, exit codes and files. Built both for the
// host and for Windows (run under Wine), so that both programs pass the same cases; the
// cases of one system alone are in tool_cli_posix_test.cpp and tool_cli_windows_test.cpp.
#include <thread>

#include "console.h"
#include "tool_fixture.h"

namespace {

TEST_F(ToolCli, HelpAndVersion) {
  for (auto args : {std::vector<std::string>{"--help"},
                    {"set", "--help"},
                    {"show", "--help"},
                    {"set", exe_, "x", "-h"},
                    {"check", "--help"},
                    {"help"},
                    {"/?"},
                    {"-?"},
                    {"/h"},
                    {"set", "/?"},
                    {"show", "--all-users", "--help"},
                    {"set", "--output", "--bogus", "/?"}}) {
    ProcessResult help = Run(args);
    EXPECT_EQ(help.exitCode, 0) << testing::PrintToString(args);
    EXPECT_EQ(help.out.rfind("Usage:", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("(at most 243 bytes,"), std::string::npos) << help.out;
  }
  for (auto args : {std::vector<std::string>{"--version"}, {"show", "--version"}, {"set", "--version"}}) {
    ProcessResult version = Run(args);
    EXPECT_EQ(version.exitCode, 0) << testing::PrintToString(args);
    EXPECT_EQ(version.out, "opener-template " OPENER_VERSION "\n");
  }
}

TEST_F(ToolCli, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {{},
                                                       {"bogus"},
                                                       {"show"},
                                                       {"show", exe_, exe_},
                                                       {"show", "--force", exe_},
                                                       {"set", exe_},
                                                       {"set", exe_, "a", "b"},
                                                       {"set", exe_, "x", "--frobnicate"},
                                                       {"set", exe_, "x", "--from-file", "f"},
                                                       {"set", exe_, "--output"},
                                                       {"set", "--offset", exe_, "x"},
                                                       {"show", "-"},
                                                       {"set", "-", "x"},
                                                       {"set", exe_, "x", "--output", "-"},
                                                       {"set", exe_, "x", "--program", "C:\\Ed\\ed.exe"},
                                                       {"set", exe_, "--program", "C:\\Ed\\ed.exe", "--from-file", "f"},
                                                       {"set", exe_, "--arguments", "-n"},
                                                       {"check", exe_, "--program", "C:\\Ed\\ed.exe"},
                                                       {"show", "--program", "C:\\Ed\\ed.exe", exe_},
                                                       {"show", exe_, "--arguments", "-n"},
                                                       {"register", exe_, ".txt", "--program", "x"},
                                                       {"setup", exe_, "--menu"}};
  EXPECT_EQ(
      Run({"regsiter", exe_}).err.rfind("opener-template: unknown command regsiter (did you mean register?)\n", 0), 0u);
  EXPECT_EQ(Run({"shwo", exe_}).err.rfind("opener-template: unknown command shwo (did you mean show?)\n", 0), 0u);
  for (const auto& args : cases) {
    ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
    EXPECT_EQ(result.err.rfind("opener-template: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
  }
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
}

TEST_F(ToolCli, ShowPrintsTheTemplateAndOffset) {
  EXPECT_EQ(Show(exe_), "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"\n");
  ProcessResult shown = Run({"show", "--offset", exe_});
  EXPECT_EQ(shown.out,
            "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"\n" + std::to_string(kBuiltBlockOffset) + "\n");
  // What is shown is what starts: a CR does not hide the program before it.
  PeShape hidden;
  hidden.templateText = "evil.exe [%s]\r\"C:\\Ed\\ed.exe\" \"%s\"";
  WriteBytes(exe_, BuildPe(hidden));
  EXPECT_EQ(Show(exe_), "evil.exe [%s]<0x0D>\"C:\\Ed\\ed.exe\" \"%s\"\n");
}

TEST_F(ToolCli, SetRoundTrips) {
  for (std::string text :
       {std::string(R"("C:\Ed\ed.exe" "%s")"), std::string(243, 'y'),
        std::string("\"C:\\\xe7\xb7\xa8\xe9\x9b\x86\\na\xc3\xafve.exe\" %s"), std::string("run 100%%s \"%s\"")}) {
    ProcessResult set = Run({"set", exe_, text});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(Show(exe_), text + "\n");
  }
}

// --program writes the one shape that serves every caller, quoted by the tool.
TEST_F(ToolCli, ProgramIsQuotedForYou) {
  const std::string program = "C:\\Program Files\\Ed\\ed.exe";
  ProcessResult set = Run({"set", exe_, "--program", program});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Show(exe_), "\"" + program + "\" \"%s\"\n");
  EXPECT_EQ(set.err.find("Windows finds no program") != std::string::npos, kOnWindows) << set.err;
  EXPECT_EQ(Run({"set", "--arguments", "-multiInst -nosession", exe_, "--program", program}).exitCode, 0);
  EXPECT_EQ(Show(exe_), "\"" + program + "\" -multiInst -nosession \"%s\"\n");

  const std::string kept = ReadBytes(exe_);
  for (const auto& [path, message] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\Ed\\\"ed.exe", "the program path holds a double quote, which no file name holds"},
           {"C:\\Ed\\ed.exe\t",
            "the program path holds a control character or bytes of no UTF-8 character (shown as <0xNN>)"},
           {"", "--program names no program"},
           {"C:\\Sale\\50%sale\\ed.exe",
            "the program path holds %s, which the launcher would replace with the file "
            "name (a template has no escape for it); rename or move the program"}}) {
    ProcessResult refused = Run({"set", exe_, "--program", path});
    EXPECT_EQ(refused.exitCode, 1) << path;
    EXPECT_EQ(refused.err, "opener-template: " + exe_ + ": " + message + "\n");
  }
  EXPECT_EQ(ReadBytes(exe_), kept);
}

TEST_F(ToolCli, FromFileDropsOneNewlineAndAByteOrderMark) {
  WriteBytes(folder_ + "template.txt",
             "\xef\xbb\xbf"
             "C:\\Ed\\ed.exe \"%s\"\r\n");
  EXPECT_EQ(Run({"set", exe_, "--from-file", folder_ + "template.txt"}).exitCode, 0);
  EXPECT_EQ(Show(exe_), "C:\\Ed\\ed.exe \"%s\"\n");
  EXPECT_EQ(Run({"set", "--from-file", "-", exe_}, "C:\\from\\stdin.exe %s\n").exitCode, 0);
  EXPECT_EQ(Show(exe_), "C:\\from\\stdin.exe %s\n");

  const std::string kept = ReadBytes(exe_);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {std::string("\xff\xfe"
                   "e\0d\0 \0%\0s\0",
                   12),
       "the template file is UTF-16 text; save it as UTF-8"},
      {"ed %s\n\n", "the template holds a control character (<0x0A> at byte 5); only tab may stand in a command"},
      {std::string(5000, 'x'), "larger than 4096 bytes, more than any template"},
      {"", "the template is empty: the launcher would start nothing"},
      {"\xef\xbb\xbf", "the template is empty: the launcher would start nothing"}};
  for (const auto& [bytes, message] : refused) {
    WriteBytes(folder_ + "template.txt", bytes);
    ProcessResult result = Run({"set", exe_, "--from-file", folder_ + "template.txt"});
    EXPECT_EQ(result.exitCode, 1);
    std::string named =
        message.rfind("larger", 0) == 0 || message.rfind("the template file", 0) == 0 ? folder_ + "template.txt" : exe_;
    EXPECT_EQ(result.err, "opener-template: " + named + ": " + message + "\n");
  }
  EXPECT_EQ(ReadBytes(exe_), kept);
}

TEST_F(ToolCli, OutputLeavesTheInput) {
  std::string out = folder_ + "new.exe";
  EXPECT_EQ(Run({"set", exe_, "ed %s", "--output", out}).exitCode, 0);
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
  EXPECT_EQ(Show(out), "ed %s\n");
}

TEST_F(ToolCli, RefusalsSayWhyAndChangeNothing) {
  struct Case {
    std::string file, text, message;
  };
  std::string pe = BuildPe();
  PeShape signedShape;
  signedShape.certificate = "certificate table";
  const std::vector<Case> cases = {
      {"MZ but nothing else", "ed %s", "not a Windows executable (no MZ header)"},
      {pe.substr(0, 0x300), "ed %s",
       "the template block does not fit: fewer than 256 bytes from the marker to the end of the file"},
      {pe + "__FILENAME__", "ed %s",
       "the marker __FILENAME__ stands more than once; which block is the template is ambiguous"},
      {pe, std::string(300, 'z'), "the template is 300 bytes long; the block holds at most 243"},
      {BuildPe(signedShape), "ed %s",
       "the file is signed (Authenticode); rewriting it breaks the signature (--force removes it)"}};
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
  EXPECT_EQ(missing.err.find("error "), std::string::npos) << "the system's words, not a number: " << missing.err;
}

// Only a regular file that may be written is replaced; nothing else is read whole.
TEST_F(ToolCli, RefusesWhatIsNotARegularWritableFile) {
  namespace fs = std::filesystem;
  const std::string readOnly = folder_ + "read-only.exe", huge = folder_ + "huge.exe";
  WriteBytes(readOnly, BuildPe());
  fs::permissions(fs::u8path(readOnly), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  WriteBytes(huge, BuildPe());
  fs::resize_file(fs::u8path(huge), (std::uintmax_t{256} << 20) + 1);
  std::vector<RefusalRow> cases = {
      {{"set", readOnly, "C:\\Ed\\ed.exe %s"}, readOnly, "the file is read-only"},
      {{"set", exe_, "C:\\Ed\\ed.exe %s", "--output", readOnly}, readOnly, "the file is read-only"},
      {{"set", exe_, "C:\\Ed\\ed.exe %s", "--output", folder_}, folder_, "not a regular file"},
      {{"show", folder_}, folder_, "not a regular file"},
      {{"show", huge}, huge, "larger than 256 MiB, more than any launcher"}};
  ExpectRefusals(cases);
  EXPECT_EQ(ReadBytes(readOnly), BuildPe());
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
  fs::permissions(fs::u8path(readOnly), fs::perms::owner_write, fs::perm_options::add);
}

// Where Windows' plain file functions stop at 260 characters.
TEST_F(ToolCli, LongPathIsReplacedWhole) {
  std::string folder = folder_ + std::string(240 - folder_.size(), 'd');
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  const std::string exe = folder + "/opener-x.exe";
  WriteBytes(exe, BuildPe());
  ProcessResult set = Run({"set", exe, "C:\\Ed\\ed.exe %s"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Show(exe), "C:\\Ed\\ed.exe %s\n");
  EXPECT_FALSE(HoldsTemporaryFile(folder) || HoldsTemporaryFile(folder_)) << "left behind";
}

TEST_F(ToolCli, ForceRemovesTheSignature) {
  PeShape shape;
  shape.certificate = "certificate table";
  WriteBytes(exe_, BuildPe(shape));
  ProcessResult result = Run({"set", "--force", exe_, "C:\\Ed\\ed.exe %s"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "opener-template: " + exe_ + ": warning: the signature was removed; sign the file again\n");
  shape.certificate.clear();
  shape.templateText = "C:\\Ed\\ed.exe %s";
  EXPECT_EQ(ReadBytes(exe_), BuildPe(shape));
}

TEST_F(ToolCli, WarningsStillWrite) {
  ProcessResult result = Run({"set", exe_, R"(C:\Program Files\Ed\ed.exe)"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(
      result.err,
      "opener-template: " + exe_ +
          ": warning: the template has no %s: the file name given to the launcher will be dropped\n"
          "opener-template: " +
          exe_ +
          R"(: warning: the program path is not in double quotes and holds a space: Windows may start C:\Program.exe )"
          "instead; put the path in double quotes\n");
  EXPECT_EQ(Show(exe_), "C:\\Program Files\\Ed\\ed.exe\n");
}

TEST_F(ToolCli, FailedWriteLeavesNothingBehind) {
  ProcessResult result = Run({"set", exe_, "ed %s", "--output", folder_ + "no such folder/new.exe"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(": cannot write: "), std::string::npos) << result.err;
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
}

// A link is followed: its target is rewritten, in the target's folder, and the link stays.
TEST_F(ToolCli, LinkStaysALink) {
  namespace fs = std::filesystem;
  fs::create_directory(fs::u8path(folder_ + "real"));
  std::string real = folder_ + "real" + folder_.back() + "opener.exe", link = folder_ + "link.exe";
  WriteBytes(real, BuildPe());
  if (!MakeSymbolicLink(link, std::string("real") + folder_.back() + "opener.exe"))
    GTEST_SKIP() << "cannot make a symbolic link here";
  ProcessResult set = Run({"set", link, "C:\\Ed\\ed.exe %s"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_TRUE(fs::is_symlink(fs::u8path(link)));
  EXPECT_EQ(Show(real), "C:\\Ed\\ed.exe %s\n");
}

TEST_F(ToolCli, ConcurrentSetsLeaveOneWholeTemplate) {
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

}  // namespace
