// opener-template's cases that only a POSIX system has: devices, FIFOs, permission bits
// and owners, signals and file-size limits, names of 255 bytes.
#include <filesystem>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tool_fixture.h"

extern char** environ;

namespace {

// Standard output on a full device of the test's own: what could not be printed fails.
TEST_F(ToolCli, FullOutputIsAFailure) {
  const std::string full = folder_ + "full";
  if (mknod(full.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) GTEST_SKIP() << "cannot make a device here";
  for (auto args : {std::vector<std::string>{"--help"}, {"--version"}, {"show", exe_}}) {
    ProcessResult result = RunProcess(kTool, args, "", full);
    EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(args);
    EXPECT_EQ(result.err.rfind("opener-template: cannot print ", 0), 0u) << result.err;
  }
}

// A FIFO (a shell's <(...)) whose writer comes later is waited for, as standard input is.
TEST_F(ToolCli, FifoTemplateIsWaitedFor) {
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
}

TEST_F(ToolCli, RefusesFifosAndEscapesNames) {
  // A FIFO with no writer, and a link to it: refused at once, left as they were.
  std::vector<RefusalRow> cases;
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
  ExpectRefusals(cases);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

// A name of 250 bytes, where a temporary name with more after it would pass the 255 a
// folder takes.
TEST_F(ToolCli, LongNameIsReplacedWhole) {
  const std::string exe = folder_ + std::string(246, 'n') + ".exe";
  WriteBytes(exe, BuildPe());
  ProcessResult set = Run({"set", exe, "C:\\Ed\\ed.exe %s"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Show(exe), "C:\\Ed\\ed.exe %s\n");
  EXPECT_FALSE(HoldsTemporaryFile(folder_)) << "left behind";
}

// Without Windows, check says when Windows would try no name at all.
TEST_F(ToolCli, CheckSaysWhenWindowsTriesNothing) {
  for (const auto& [text, tail, says] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {R"( "C:\Ed\ed.exe" "%s")", "a.txt", "none: Windows reads no program name in the command"},
           {R"("C:\Ed\ed.exe" %s %s)", std::string(20000, 'x'), "none: the command is 40020 UTF-16 characters long"}}) {
    ASSERT_EQ(Run({"set", exe_, text}).exitCode, 0);
    ProcessResult check = Run({"check", exe_, tail});
    const std::string said = check.out.substr(check.out.find("\nprogram:  ") + 11);
    EXPECT_EQ(check.exitCode, 1) << said;
    EXPECT_EQ(said.rfind(says, 0), 0u) << said;
  }
}

// The commands of Windows' registry say that they run on Windows, as usage errors.
TEST_F(ToolCli, RegistryCommandsAreWindowsOnes) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"register", exe_, ".txt"}, {"unregister", exe_}, {"check", ".txt"}, {"setup"}}) {
    ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << args[0];
    EXPECT_NE(result.err.find("runs on Windows only"), std::string::npos) << result.err;
  }
}

TEST_F(ToolCli, KeepsPermissionBitsAndOwner) {
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
TEST_F(ToolCli, EndedWhileWritingLeavesNothingBehind) {
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
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    if (row.ignoredByCaller) sigaction(row.signal, &ignore, &before);
    struct rlimit limit {
    }, unlimited{};
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

}  // namespace

namespace {

// The help's usage lines are the reference's synopsis, line for line.
TEST_F(ToolCli, HelpsUsageIsTheReferencesSynopsis) {
  const std::string reference = ReadBytes(OPENER_REFERENCE);
  const std::size_t start = reference.find("## SYNOPSIS\n\n```\n");
  ASSERT_NE(start, std::string::npos);
  const std::size_t from = start + 17;
  std::string synopsis = reference.substr(from, reference.find("```", from) - from);
  synopsis = synopsis.substr(0, synopsis.rfind("opener-template help"));
  const std::string help = Run({"--help"}).out;
  std::string usage;
  for (std::size_t at = help.find("\n  opener-template "); at != std::string::npos && at < help.find("\n\n");
       at = help.find("\n  opener-template ", at + 1))
    usage += help.substr(at + 3, help.find('\n', at + 1) - at - 2);
  EXPECT_EQ(usage, synopsis);
}

// The guide's list of check's lines ("- `program:  none: ...`") quotes the tool's own
// words: each quoted line's fixed words, up to its first path or example, are in the
// tool's source as written.
TEST_F(ToolCli, TheGuideQuotesTheToolsOwnWords) {
  const std::string guide = ReadBytes(OPENER_GUIDE);
  std::string source;
  for (const auto& file : std::filesystem::directory_iterator(OPENER_TOOL_SOURCES))
    source += ReadBytes(file.path().string());
  int quoted = 0;
  for (std::size_t at = guide.find("\n- `"); at != std::string::npos; at = guide.find("\n- `", at + 1)) {
    const std::string line = guide.substr(at + 4, guide.find('`', at + 4) - at - 4);
    const std::size_t colon = line.find(":  ");
    if (colon == std::string::npos || line.find(' ') < colon) continue;  // "program:  ...", "opener-template: ..."
    std::string words = line.substr(colon + 3);
    if (words.rfind("none: ", 0) == 0) words.erase(0, 6);
    if (words[0] == '%') words.erase(0, words.find('%', 1) + 1);  // "%systemdrive% is ...": an example first
    words = words.substr(0, std::min({words.find("C:\\"), words.find(" ("), words.find(" ..."), words.find(" %"),
                                      words.find(" run.bat"), words.find(" notepad")}));
    if (words.empty()) continue;
    ++quoted;
    EXPECT_NE(source.find(words), std::string::npos) << "the guide quotes words the tool does not say: " << words;
  }
  EXPECT_GE(quoted, 10);
}

}  // namespace
