// opener-template as a program: its messages, exit codes and files. Built both for the
// host and for Windows (run under Wine), so that both programs pass the same cases.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "file_io.h"
#include "pe_builder.h"
#include "process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
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

  // True while `folder` holds a temporary file of a set (FILE.tmp-PID-N).
  static bool HoldsTemporaryFile(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
      if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
    return false;
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
  for (auto args : {std::vector<std::string>{"--help"}, {"set", "--help"}, {"show", "--help"}, {"set", exe_, "x", "-h"},
                    {"check", "--help"}, {"help"}, {"/?"}, {"set", "/?"}}) {
    ProcessResult help = Run(args);
    EXPECT_EQ(help.exitCode, 0) << testing::PrintToString(args);
    EXPECT_EQ(help.out.rfind("Usage:", 0), 0u) << help.out;
  }
  for (auto args : {std::vector<std::string>{"--version"}, {"show", "--version"}, {"set", "--version"}}) {
    ProcessResult version = Run(args);
    EXPECT_EQ(version.exitCode, 0) << testing::PrintToString(args);
    EXPECT_EQ(version.out, "opener-template " OPENER_VERSION "\n");
  }
#ifndef _WIN32
  // Standard output on a full device of the test's own: what could not be printed fails.
  const std::string full = folder_ + "full";
  if (mknod(full.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) GTEST_SKIP() << "cannot make a device here";
  for (auto args : {std::vector<std::string>{"--help"}, {"--version"}, {"show", exe_}}) {
    ProcessResult result = RunProcess(kTool, args, "", full);
    EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(args);
    EXPECT_EQ(result.err.rfind("opener-template: cannot print ", 0), 0u) << result.err;
  }
#endif
}

TEST_F(Tool, UsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"bogus"}, {"show"}, {"show", exe_, exe_}, {"show", "--force", exe_}, {"set", exe_},
      {"set", exe_, "a", "b"}, {"set", exe_, "x", "--frobnicate"}, {"set", exe_, "x", "--from-file", "f"},
      {"set", exe_, "--output"}, {"set", "--offset", exe_, "x"}, {"show", "-"}, {"set", "-", "x"},
      {"set", exe_, "x", "--output", "-"}, {"set", exe_, "x", "--program", "C:\\Ed\\ed.exe"},
      {"set", exe_, "--program", "C:\\Ed\\ed.exe", "--from-file", "f"}, {"set", exe_, "--arguments", "-n"},
      {"check", exe_, "--program", "C:\\Ed\\ed.exe"}};
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
  // What is shown is what starts: a CR does not hide the program before it.
  PeShape hidden;
  hidden.templateText = "evil.exe [%s]\r\"C:\\Ed\\ed.exe\" \"%s\"";
  WriteBytes(exe_, BuildPe(hidden));
  EXPECT_EQ(Show(exe_), "evil.exe [%s]<0x0D>\"C:\\Ed\\ed.exe\" \"%s\"\n");
}

TEST_F(Tool, SetRoundTrips) {
  for (std::string text : {std::string(R"("C:\Ed\ed.exe" "%s")"), std::string(243, 'y'),
                           std::string("\"C:\\\xe7\xb7\xa8\xe9\x9b\x86\\na\xc3\xafve.exe\" %s"),
                           std::string("run 100%%s \"%s\"")}) {
    ProcessResult set = Run({"set", exe_, text});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(Show(exe_), text + "\n");
  }
}

// --program writes the one shape that serves every caller, quoted by the tool.
TEST_F(Tool, ProgramIsQuotedForYou) {
  const std::string program = "C:\\Program Files\\Ed\\ed.exe";
  ProcessResult set = Run({"set", exe_, "--program", program});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Show(exe_), "\"" + program + "\" \"%s\"\n");
  EXPECT_EQ(set.err.find("does not exist") != std::string::npos, kSeesWindowsFiles) << set.err;
  EXPECT_EQ(Run({"set", "--arguments", "-multiInst -nosession", exe_, "--program", program}).exitCode, 0);
  EXPECT_EQ(Show(exe_), "\"" + program + "\" -multiInst -nosession \"%s\"\n");

  const std::string kept = ReadBytes(exe_);
  for (const auto& [path, message] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\Ed\\\"ed.exe", "the program path holds a double quote, which no file name holds"},
           {"C:\\Ed\\ed.exe\t", "the program path holds a control character or bytes of no UTF-8 character (shown as <0xNN>)"},
           {"", "--program names no program"}}) {
    ProcessResult refused = Run({"set", exe_, "--program", path});
    EXPECT_EQ(refused.exitCode, 1) << path;
    EXPECT_EQ(refused.err, "opener-template: " + exe_ + ": " + message + "\n");
  }
  EXPECT_EQ(ReadBytes(exe_), kept);
}

TEST_F(Tool, FromFileDropsOneNewlineAndAByteOrderMark) {
  WriteBytes(folder_ + "template.txt", "\xef\xbb\xbf" "C:\\Ed\\ed.exe \"%s\"\r\n");
  EXPECT_EQ(Run({"set", exe_, "--from-file", folder_ + "template.txt"}).exitCode, 0);
  EXPECT_EQ(Show(exe_), "C:\\Ed\\ed.exe \"%s\"\n");
  EXPECT_EQ(Run({"set", "--from-file", "-", exe_}, "C:\\from\\stdin.exe %s\n").exitCode, 0);
  EXPECT_EQ(Show(exe_), "C:\\from\\stdin.exe %s\n");

  const std::string kept = ReadBytes(exe_);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {std::string("\xff\xfe" "e\0d\0 \0%\0s\0", 12), "the template file is UTF-16 text; save it as UTF-8"},
      {"ed %s\n\n", "the template holds a control character (<0x0A> at byte 5); only tab may stand in a command"},
      {std::string(5000, 'x'), "larger than 4096 bytes, more than any template"},
      {"", "the template is empty: the launcher would start nothing"},
      {"\xef\xbb\xbf", "the template is empty: the launcher would start nothing"}};
  for (const auto& [bytes, message] : refused) {
    WriteBytes(folder_ + "template.txt", bytes);
    ProcessResult result = Run({"set", exe_, "--from-file", folder_ + "template.txt"});
    EXPECT_EQ(result.exitCode, 1);
    std::string named = message.rfind("larger", 0) == 0 || message.rfind("the template file", 0) == 0
                            ? folder_ + "template.txt" : exe_;
    EXPECT_EQ(result.err, "opener-template: " + named + ": " + message + "\n");
  }
  EXPECT_EQ(ReadBytes(exe_), kept);
#ifndef _WIN32
  // A FIFO (a shell's <(...)) whose writer comes later is waited for, as standard input is.
  const std::string fifo = folder_ + "template.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int fd = -1;  // not blocking: with no reader left, give up rather than hang
    for (int i = 0; i < 1000 && (fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0; ++i) usleep(10000);
    const std::string text = "C:\\Ed\\late.exe %s\n";
    if (fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) close(fd);
  });
  ProcessResult late = Run({"set", exe_, "--from-file", fifo});
  writer.join();
  EXPECT_EQ(late.exitCode, 0) << late.err;
  EXPECT_EQ(Show(exe_), "C:\\Ed\\late.exe %s\n");
#endif
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
  EXPECT_EQ(missing.err.find("error "), std::string::npos) << "the system's words, not a number: " << missing.err;
}

// Only a regular file that may be written is replaced; nothing else is read whole.
TEST_F(Tool, RefusesWhatIsNotARegularWritableFile) {
  namespace fs = std::filesystem;
  const std::string readOnly = folder_ + "read-only.exe", huge = folder_ + "huge.exe";
  WriteBytes(readOnly, BuildPe());
  fs::permissions(fs::u8path(readOnly), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  WriteBytes(huge, BuildPe());
  fs::resize_file(fs::u8path(huge), (std::uintmax_t{256} << 20) + 1);
  struct Case {
    std::vector<std::string> args;
    std::string named, message;
  };
  std::vector<Case> cases = {
      {{"set", readOnly, "C:\\Ed\\ed.exe %s"}, readOnly, "the file is read-only"},
      {{"set", exe_, "C:\\Ed\\ed.exe %s", "--output", readOnly}, readOnly, "the file is read-only"},
      {{"set", exe_, "C:\\Ed\\ed.exe %s", "--output", folder_}, folder_, "not a regular file"},
      {{"show", folder_}, folder_, "not a regular file"},
      {{"show", huge}, huge, "larger than 256 MiB, more than any launcher"}};
#ifndef _WIN32
  // A FIFO with no writer, and a link to it: refused at once, left as they were.
  const std::string fifo = folder_ + "fifo", link = folder_ + "link-to-fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
  cases.push_back({{"show", fifo}, fifo, "not a regular file"});
  cases.push_back({{"set", fifo, "C:\\Ed\\ed.exe %s"}, fifo, "not a regular file"});
  cases.push_back({{"set", exe_, "C:\\Ed\\ed.exe %s", "--output", link}, link, "not a regular file"});
  // A name is echoed escaped: a CR in it cannot make the message read as another.
  const std::string carriageReturn = folder_ + "fake\r";
  std::filesystem::create_directory(carriageReturn);
  cases.push_back({{"show", carriageReturn}, folder_ + "fake<0x0D>", "not a regular file"});
#endif
  for (const Case& c : cases) {
    ProcessResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, "opener-template: " + c.named + ": " + c.message + "\n");
  }
  EXPECT_EQ(ReadBytes(readOnly), BuildPe());
  EXPECT_EQ(ReadBytes(exe_), BuildPe());
#ifndef _WIN32
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(link));
#endif
  fs::permissions(fs::u8path(readOnly), fs::perms::owner_write, fs::perm_options::add);
}

// Where Windows' plain file functions stop at 260 characters.
// Where Windows' plain file functions stop at 260 characters; and a name of 250 bytes,
// where a temporary name with more after it would pass the 255 a folder takes.
TEST_F(Tool, LongPathIsReplacedWhole) {
  std::string folder = folder_ + std::string(240 - folder_.size(), 'd');
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  std::vector<std::string> exes = {folder + "/opener-x.exe"};
#ifndef _WIN32
  exes.push_back(folder_ + std::string(246, 'n') + ".exe");
#endif
  for (const std::string& exe : exes) {
    WriteBytes(exe, BuildPe());
    ProcessResult set = Run({"set", exe, "C:\\Ed\\ed.exe %s"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(Show(exe), "C:\\Ed\\ed.exe %s\n");
  }
  EXPECT_FALSE(HoldsTemporaryFile(folder) || HoldsTemporaryFile(folder_)) << "left behind";
}

TEST_F(Tool, ForceRemovesTheSignature) {
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
#ifdef _WIN32
  // OUT held open by another program: the rename fails, said in Windows' own words.
  std::string out = folder_ + "held.exe";
  WriteBytes(out, "held");
  HANDLE held = CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  result = Run({"set", exe_, "C:\\Ed\\ed.exe %s", "--output", out});
  CloseHandle(held);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.rfind("opener-template: " + out + ": cannot replace the file: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find("error "), std::string::npos) << "the system's words, not a number: " << result.err;
  EXPECT_EQ(ReadBytes(out), "held");
  EXPECT_FALSE(HoldsTemporaryFile(folder_)) << "left behind";
#endif
}

// A link is followed: its target is rewritten, in the target's folder, and the link stays.
TEST_F(Tool, LinkStaysALink) {
  namespace fs = std::filesystem;
  fs::create_directory(fs::u8path(folder_ + "real"));
  std::string real = folder_ + "real" + folder_.back() + "opener.exe", link = folder_ + "link.exe";
  WriteBytes(real, BuildPe());
#ifdef _WIN32
  // Wine 8 says yes and makes nothing; Windows wants developer mode or an administrator.
  if (!CreateSymbolicLinkA(link.c_str(), "real\\opener.exe", 0) || GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "cannot make a symbolic link here";
#else
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
#endif
  ProcessResult set = Run({"set", link, "C:\\Ed\\ed.exe %s"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_TRUE(fs::is_symlink(fs::u8path(link)));
  EXPECT_EQ(Show(real), "C:\\Ed\\ed.exe %s\n");
}

#ifdef _WIN32
// Where Windows does not grant the UTF-8 code page (before Windows 10 1903; here a copy
// of the tool whose manifest no longer asks for it), no character is lost on the way in,
// and the warning says how the launcher there will read them.
TEST_F(Tool, KeepsCharactersOutsideTheCodePage) {
  std::string tool = ReadBytes(kTool);
  for (const char* tag : {"<activeCodePage ", "</activeCodePage>"}) {
    std::size_t at = tool.find(tag);
    ASSERT_NE(at, std::string::npos) << tag;
    tool.replace(tool.find("activeCodePage", at), 14, "activeCodeXage");
  }
  const std::string legacy = folder_ + "opener-template-legacy.exe";
  WriteBytes(legacy, tool);
  const std::string text = "\"C:\\\xd0\x9f\xd1\x80\xd0\xbe\xd0\xb3\xd1\x80\xd0\xb0\xd0\xbc\xd0\xbc\xd1\x8b\\ed.exe\" \"%s\"";
  ProcessResult set = RunProcess(legacy, {"set", exe_, text});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_NE(set.err.find("warning: this Windows reads programs' text in code page "), std::string::npos) << set.err;
  EXPECT_EQ(Show(exe_), text + "\n");
  EXPECT_EQ(Run({"set", exe_, text}).err, "") << "the UTF-8 code page is granted: nothing to warn of";
}
#endif

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
// Without Windows, check says when Windows would try no name at all.
TEST_F(Tool, CheckSaysWhenWindowsTriesNothing) {
  for (const auto& [text, tail, says] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {R"( "C:\Ed\ed.exe" "%s")", "a.txt", "none: Windows reads no program name in the command"},
           {R"("C:\Ed\ed.exe" %s %s)", std::string(20000, 'x'), "none: the command is 40016 UTF-16 characters long"}}) {
    ASSERT_EQ(Run({"set", exe_, text}).exitCode, 0);
    ProcessResult check = Run({"check", exe_, tail});
    const std::string said = check.out.substr(check.out.find("\nprogram:  ") + 11);
    EXPECT_EQ(check.exitCode, 1) << said;
    EXPECT_EQ(said.rfind(says, 0), 0u) << said;
  }
}

TEST_F(Tool, KeepsPermissionBitsAndOwner) {
  chmod(exe_.c_str(), 0751);
  bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(exe_.c_str(), 4321, 4322), 0);
  }
  EXPECT_EQ(Run({"set", exe_, "C:\\Ed\\ed.exe %s"}).exitCode, 0);
  struct stat info {};
  stat(exe_.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0751u);
  if (!root) return;
  EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(uid_t{4321}, gid_t{4322}));

  // A member of the group, not the owner, rewrites a root:4322 file in a folder of its
  // own: the owner cannot be given, the group can and is.
  ASSERT_EQ(chown(exe_.c_str(), 0, 4322), 0);
  chmod(exe_.c_str(), 0664);
  ASSERT_EQ(chown(folder_.c_str(), 4321, 4321), 0);
  ProcessResult set = RunProcess("/usr/bin/setpriv", {"--reuid=4321", "--regid=4321", "--groups=4322", kTool, "set",
                                                      exe_, "C:\\Ed\\ed.exe \"%s\""});
  if (set.exitCode == 126 || set.exitCode == 127 || set.err.find("Permission denied") != std::string::npos)
    GTEST_SKIP() << "the tool cannot be run as another user from here: " << set.err;
  EXPECT_EQ(set.exitCode, 0) << set.err;
  stat(exe_.c_str(), &info);
  EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(uid_t{4321}, gid_t{4322}));
  EXPECT_EQ(info.st_mode & 07777, 0664u);
}

// Ended by a signal while the new file is written: the temporary file goes and the
// original stays; a signal that the caller ignores (nohup, trap '' INT) stays ignored,
// and a file-size limit is a write error like any other.
TEST_F(Tool, EndedWhileWritingLeavesNothingBehind) {
  PeShape large;
  large.overlay = std::string(std::size_t{200} << 20, 'o');
  const std::string original = BuildPe(large);
  struct Row {
    int signal;            // sent once the temporary file is there; 0: none
    bool ignoredByCaller;  // the signal is ignored when the tool starts
    rlim_t sizeLimit;      // RLIM_INFINITY: none
    int exitCode;          // -1: ended by the signal
  };
  const Row rows[] = {{SIGTERM, false, RLIM_INFINITY, -1},
                      {SIGQUIT, false, RLIM_INFINITY, -1},
                      {SIGHUP, true, RLIM_INFINITY, 0},
                      {SIGINT, true, RLIM_INFINITY, 0},
                      {0, false, rlim_t{100} << 20, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "signal " << row.signal << ", limit " << row.sizeLimit);
    WriteBytes(exe_, original);
    std::vector<std::string> args = {kTool, "set", exe_, "C:\\Ed\\ed.exe %s"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // What the tool inherits: the ignored signal, the size limit.
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    if (row.ignoredByCaller) sigaction(row.signal, &ignore, &before);
    struct rlimit limit {}, unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    limit = unlimited;
    limit.rlim_cur = row.sizeLimit;
    setrlimit(RLIMIT_FSIZE, &limit);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string err = folder_ + "err";
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, kTool.c_str(), &actions, nullptr, argv.data(), environ);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    if (row.ignoredByCaller) sigaction(row.signal, &before, nullptr);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);

    bool seen = false;
    for (int i = 0; i < 20000 && !(seen = HoldsTemporaryFile(folder_)); ++i) usleep(500);
    if (row.signal != 0) kill(pid, row.signal);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(seen) << "the temporary file never appeared";
    if (row.exitCode < 0) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.exitCode) << status << ": " << ReadBytes(err);
    }
    EXPECT_FALSE(HoldsTemporaryFile(folder_));
    if (row.exitCode == 0) {
      EXPECT_EQ(Show(exe_), "C:\\Ed\\ed.exe %s\n");
    } else {
      EXPECT_TRUE(ReadBytes(exe_) == original) << "the original changed";
    }
    if (row.exitCode == 1) {
      EXPECT_EQ(ReadBytes(err), "opener-template: " + exe_ + ": cannot write: File too large\n");
    }
  }
}
#endif

}  // namespace
