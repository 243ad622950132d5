// opener-template register and unregister under Wine, as users set a file type up.
#include "launcher_fixture.h"

#include <shellapi.h>
#include <shlobj.h>

#include <sstream>

#include "file_io.h"
#include "file_types.h"
#include "windows_handles.h"

namespace {

// Wine reads only the machine's classes: there the type is opened through the shell; the
// user's are read back.
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
  // A value of any type and bytes, in a key made where missing.
  static void Put(const std::wstring& key, const wchar_t* name, DWORD type, const std::string& bytes) {
    RegSetKeyValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), name, type, bytes.data(),
                    static_cast<DWORD>(bytes.size()));
  }
  static std::wstring ClassKey(const std::wstring& launcher) { return Utf16(ClassOf(Utf8(launcher))); }

  // The user's classes, there on Windows; a new Wine prefix makes them on first use.
  static const std::wstring& UserClasses() {
    static const std::wstring classes = [] {
      OwnedKey key;
      RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, key.Receive(),
                      nullptr);
      return std::wstring(L"HKEY_CURRENT_USER\\Software\\Classes");
    }();
    return classes;
  }
  // The user's Send To folder, with its last separator, made where a new prefix lacks it.
  static std::wstring SendToFolder() {
    TaskMemory<wchar_t> path;
    EXPECT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, path.Receive())));
    const std::wstring folder = std::wstring(path ? path.get() : L"") + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }
  // The names in the Send To folder, a line each.
  static std::string SendToListing() {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(SendToFolder())))
      names += entry.path().filename().u8string() + "\n";
    return names;
  }

  // Asks the shell to run what `run` names (its size, mask and show mode filled here) and
  // waits for the program it started, where it says which; true where the shell took it.
  static bool ShellRun(SHELLEXECUTEINFOW& run) {
    run.cbSize = sizeof run;
    run.fMask |= SEE_MASK_NOCLOSEPROCESS;
    run.nShow = SW_SHOW;
    const bool taken = ShellExecuteExW(&run);
    const OwnedHandle started(run.hProcess);
    if (started) WaitForSingleObject(started.get(), 30000);
    return taken;
  }

  // A new document named `name` in the test folder, opened as a double-click opens it:
  // what the recorder got, which is "5\t" and its command line when a launcher pointed at
  // it opened the document.
  std::vector<std::string> OpenNewDocument(const std::wstring& name) {
    const std::wstring document = TestDir() + name;
    WriteBytes(Utf8(document), "text\r\n");
    SHELLEXECUTEINFOW open{};
    open.lpFile = document.c_str();
    EXPECT_TRUE(ShellRun(open));
    return Records();
  }
  static std::vector<std::string> Recorded(const std::wstring& name) {
    return {"5\t\"" + Utf8(TestDir()) + "recorder.exe\" \"" + Utf8(TestDir() + name) + "\""};
  }

  // Runs the verb `verb` of a named class (lpClass) or of an opened class key on `file`, as
  // the shell runs a menu's entry, and returns the arguments the recorder got.
  std::vector<std::string> RunVerb(const wchar_t* classKey, HKEY root, const std::wstring& verb,
                                   const std::wstring& file) {
    SetEnvironmentVariableW(L"OPENER_RECORD_ARGS", L"1");
    DeleteFileW(record_.c_str());
    SHELLEXECUTEINFOW run{};
    run.fMask = root ? SEE_MASK_CLASSKEY : SEE_MASK_CLASSNAME;
    OwnedKey opened;
    if (root)
      RegOpenKeyExW(root, (std::wstring(L"Software\\Classes\\") + classKey).c_str(), 0, KEY_READ, opened.Receive());
    run.hkeyClass = opened.get();
    run.lpClass = classKey;
    run.lpVerb = verb.c_str();
    run.lpFile = file.c_str();
    EXPECT_TRUE(ShellRun(run)) << GetLastError();
    const std::vector<std::string> lines = Records();
    std::vector<std::string> arguments;
    if (lines.empty()) return arguments;
    std::istringstream fields(lines[0]);
    for (std::string field; std::getline(fields, field, '\t');) arguments.push_back(field);
    // The show mode and the command line first, then each argument.
    arguments.erase(arguments.begin(), arguments.begin() + (arguments.size() < 2 ? 0 : 2));
    return arguments;
  }
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
  const std::wstring progId = ClassKey(launcher);
  const std::string once =
      Export(classes + L".oqr") + Export(classes + progId) + Export(classes + L"Applications\\opener-typed.exe");
  EXPECT_EQ(Tool({"register", Utf8(launcher), ".oqr", "--all-users"}).exitCode, 0);
  EXPECT_EQ(Export(classes + L".oqr") + Export(classes + progId) + Export(classes + L"Applications\\opener-typed.exe"),
            once)
      << "registering again changed the registry";

  EXPECT_EQ(OpenNewDocument(L"typed document.oqr"), Recorded(L"typed document.oqr"));

  ProcessResult check = Tool({"check", ".oqr"});
  EXPECT_EQ(check.exitCode, 0) << check.out;
  EXPECT_NE(check.out.find("launcher: " + Utf8(launcher) + "\n"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("program:  " + Utf8(TestDir()) + "recorder.exe   (Windows starts it)"), std::string::npos)
      << check.out;

  // Moved away, the launcher is said to be missing, and unregistered from the registry alone.
  ASSERT_TRUE(MoveFileExW(launcher.c_str(), (launcher + L".moved").c_str(), MOVEFILE_REPLACE_EXISTING));
  ProcessResult missing = Tool({"check", ".oqr"});
  EXPECT_EQ(missing.exitCode, 1) << missing.out;
  EXPECT_NE(missing.out.find("launcher: " + Utf8(launcher) + "   (missing: no such file;"), std::string::npos)
      << missing.out;
  ProcessResult removed = Tool({"unregister", Utf8(launcher), "--all-users"});
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(removed.out.rfind(Utf8(launcher) + ": unregistered .oqr\n", 0), 0u) << removed.out;
  EXPECT_EQ(Export(classes + L".oqr"), before);
  EXPECT_EQ(Export(classes + progId) + Export(classes + L"Applications\\opener-typed.exe"), "");
}

TEST_F(FileTypes, ForTheUserReadBackAndComeBack) {
  const std::wstring launcher = Retarget(L"opener-mine.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring classes = L"Software\\Classes\\";
  const std::string before = Export(UserClasses());
  ASSERT_FALSE(before.empty());
  // Refused, changing nothing: no type, a type that starts programs, a file that is no launcher.
  for (const auto& [file, type] : std::vector<std::pair<std::wstring, std::string>>{
           {launcher, ".a b"}, {launcher, ".a\\b"}, {launcher, ".EXE"}, {TestDir() + L"recorder.exe", ".oqu"}}) {
    ProcessResult refused = Tool({"register", Utf8(file), type});
    EXPECT_EQ(refused.exitCode, 1) << type;
    EXPECT_NE(refused.err, "") << type;
  }
  EXPECT_EQ(Export(UserClasses()), before);

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
  const std::wstring progId = ClassKey(launcher);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqu", nullptr), progId);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + progId + L"\\OpenerRecord", L"Launcher"), launcher);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqv\\OpenWithProgids", progId.c_str()), L"");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + progId + L"\\shell\\open\\command", nullptr), command);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + progId + L"\\DefaultIcon", nullptr),
            L"\"" + TestDir() + L"recorder.exe\",0");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe", L"FriendlyAppName"),
            L"Records how it was started");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe\\shell\\open\\command", nullptr),
            command);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L"Applications\\opener-mine.exe\\SupportedTypes", L".oqv"), L"");

  EXPECT_EQ(Tool({"unregister", Utf8(launcher), ".oqv"}).exitCode, 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqv", nullptr), L"(none)");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, classes + L".oqu", nullptr), progId);
  EXPECT_EQ(Tool({"unregister", Utf8(launcher)}).exitCode, 0);
  EXPECT_EQ(Export(UserClasses()), before);
}

// What a user has before: a default of REG_NONE with data, of REG_EXPAND_SZ, REG_DWORD and
// REG_BINARY; keys left empty; the "Open with" entry Windows wrote for a program of the
// name of ours. Launchers register over each other, a copy of the same name and one in a
// folder with % are refused, one that registered nothing is said to have nothing, and the
// first is deleted before it is unregistered: in either order, it all comes back.
TEST_F(FileTypes, ForTheUserAnyLaunchersInAnyOrderComeBack) {
  const std::string recorder = "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"";
  for (const wchar_t* folder : {L"twin", L"my%20tools"}) CreateDirectoryW((TestDir() + folder).c_str(), nullptr);
  const std::wstring a = Retarget(L"opener-la.exe", recorder), b = Retarget(L"opener-lb.exe", recorder);
  const std::wstring twin = Retarget(L"twin\\opener-la.exe", recorder),
                     percent = Retarget(L"my%20tools\\opener-lc.exe", recorder);
  const std::wstring never = Retarget(L"opener-never.exe", recorder);
  const std::wstring& all = UserClasses();
  for (bool aFirst : {true, false}) {
    Put(L".oqa", nullptr, REG_NONE, std::string("\x01\x02", 2));
    Put(L".oqb\\OpenWithProgids", nullptr, REG_NONE, "");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Classes\\.oqb\\OpenWithProgids", nullptr);
    Put(L".oqc", nullptr, REG_EXPAND_SZ, std::string("%\0S\0%\0\0\0", 8));
    Put(L".oqd", nullptr, REG_DWORD, std::string("\x07\0\0\0", 4));
    Put(L".oqe", nullptr, REG_BINARY, std::string("\xff", 1));
    Put(L"Applications\\opener-la.exe", L"FriendlyAppName", REG_SZ, std::string("P\0\0\0", 4));
    const std::string before = Export(all);

    auto tool = [&](const std::vector<std::string>& args, int code) {
      ProcessResult run = Tool(args);
      EXPECT_EQ(run.exitCode, code) << args[0] << " " << args[1] << ": " << run.out << run.err;
      return run;
    };
    tool({"register", Utf8(a), ".oqa", ".oqb", ".oqc", ".oqd", ".oqe"}, 0);
    tool({"register", Utf8(b), ".oqa", ".oqc"}, 0);
    tool({"register", Utf8(a), ".oqa"}, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Software\\Classes\\.oqa", nullptr), ClassKey(a));
    const std::string registered = Export(all);
    EXPECT_NE(tool({"register", Utf8(twin), ".oqa"}, 1).err.find(Utf8(a)), std::string::npos);
    EXPECT_NE(tool({"check", Utf8(twin)}, 0)
                  .out.find("another launcher of this file name holds file types for you, " + Utf8(a)),
              std::string::npos);
    EXPECT_NE(tool({"register", Utf8(percent), ".oqa"}, 1).err.find("holds a %"), std::string::npos);
    EXPECT_NE(tool({"unregister", Utf8(never)}, 0).out.find("nothing is registered for it for you"), std::string::npos);
    EXPECT_NE(tool({"unregister", Utf8(b), "--all-users"}, 1).err.find("leave out --all-users"), std::string::npos);
    EXPECT_EQ(Export(all), registered) << "a refusal changed the registry";

    const std::wstring kept = a + L".kept";
    ASSERT_TRUE(
        MoveFileExW(a.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING));  // unregister needs the launcher's path alone
    for (const std::wstring& launcher : aFirst ? std::vector{a, b} : std::vector{b, a}) {
      tool({"unregister", Utf8(launcher)}, 0);
      const std::wstring type = Read(HKEY_CURRENT_USER, L"Software\\Classes\\.oqa", nullptr);
      if (type.rfind(L"opener.", 0) == 0) {
        EXPECT_NE(Read(HKEY_CURRENT_USER, L"Software\\Classes\\" + type, nullptr), L"(none)") << "a class that is gone";
      }
    }
    ASSERT_TRUE(MoveFileExW(kept.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Export(all), before) << (aFirst ? "a first" : "b first");
  }
}

// The record meets the world: a run held off by another's lock, the user's own value kept,
// a record that cannot be trusted refused with a way on that runs as printed, and paths
// compared as Windows compares them (a launcher in a folder named Ü, unregistered as ü).
TEST_F(FileTypes, TheRecordUnderFaults) {
  CreateDirectoryW((TestDir() + L"\u00dc").c_str(), nullptr);
  const std::wstring launcher = Retarget(L"\u00dc\\opener-fault.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::string upper = Utf8(launcher), lower = Utf8(TestDir() + L"\u00fc\\opener-fault.exe");
  const std::string before = Export(UserClasses());
  auto tool = [&](const std::vector<std::string>& args, int code) {
    ProcessResult run = Tool(args);
    EXPECT_EQ(run.exitCode, code) << args[0] << ": " << run.out << run.err;
    return run;
  };

  // Another run holds the lock: this one waits, then refuses by name, changing nothing.
  {
    const OwnedHandle held(CreateMutexW(nullptr, TRUE, Utf16(ClassesLockName(false)).c_str()));
    ASSERT_TRUE(held);
    EXPECT_NE(tool({"register", upper, ".oqf"}, 1)
                  .err.find("another run of opener-template is changing "
                            "HKEY_CURRENT_USER\\Software\\Classes and held its lock"),
              std::string::npos);
    ReleaseMutex(held.get());
  }
  EXPECT_EQ(Export(UserClasses()), before);

  // The user points the type elsewhere; registered again, the user's value is the one given back.
  tool({"register", upper, ".oqf"}, 0);
  Put(L".oqf", nullptr, REG_SZ, std::string("m\0i\0n\0e\0\0\0", 10));
  EXPECT_NE(tool({"register", upper, ".oqf"}, 0).out.find("note: took HKEY_CURRENT_USER\\Software\\Classes\\.oqf"),
            std::string::npos);

  // A value in the record that this release does not know: refused, and the way on it
  // prints, run as printed, lets unregister go on.
  Put(ClassKey(launcher) + L"\\OpenerRecord", L"Layout", REG_SZ, std::string("2\0\0\0", 4));
  const std::string damaged = Export(UserClasses());
  const std::string refusal = tool({"unregister", lower}, 1).err;
  EXPECT_EQ(Export(UserClasses()), damaged);
  const std::size_t way = refusal.find("reg delete ");
  ASSERT_NE(way, std::string::npos) << refusal;
  Start(L"", Utf16("cmd.exe /c " + refusal.substr(way, refusal.find(" /f", way) + 3 - way)));
  EXPECT_EQ(tool({"unregister", lower, ".OQF"}, 0).out.rfind(lower + ": unregistered .oqf\n", 0), 0u);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Software\\Classes\\.oqf", nullptr), L"mine");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\.oqf");
  EXPECT_EQ(Export(UserClasses()), before);
}

// A new editor moves into every place the launcher holds (menu text, Send To's shortcut),
// its & shown as written (a program without a version resource: named by its file name);
// unregister says what it gave back and what it does not hold, and nothing more.
TEST_F(FileTypes, ANewEditorMovesIntoEveryPlaceAndWordsSayOnlyWhatWasDone) {
  const std::wstring launcher = Retarget(L"opener-moves.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::string L = Utf8(launcher);
  const std::string before = Export(UserClasses()), filesBefore = SendToListing();
  ASSERT_EQ(Tool({"register", L, ".oqm", "--send-to"}).exitCode, 0);
  const std::wstring editorFolder = TestDir() + L"New Ed\\";
  CreateDirectoryW(editorFolder.c_str(), nullptr);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileW(self, (editorFolder + L"AT&T Ed.exe").c_str(), FALSE));
  ASSERT_EQ(Tool({"set", L, "--program", Utf8(editorFolder) + "AT&T Ed.exe"}).exitCode, 0);
  ASSERT_EQ(Tool({"register", L, ".oqm", "--send-to", "--menu"}).exitCode, 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\" + ClassKey(launcher), L"MUIVerb"),
            L"Edit with AT&&T Ed");
  const std::string listing = SendToListing();
  EXPECT_NE(listing.find("AT&T Ed.lnk"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("Records how it was started.lnk"), std::string::npos) << listing;

  ProcessResult other = Tool({"unregister", L, ".oqn", "--folders"});
  EXPECT_EQ(other.exitCode, 0) << other.err;
  EXPECT_EQ(other.out, L + ": nothing was unregistered; it stays registered for .oqm, the menu of every file, Send "
                           "To\nnote: .oqn: not registered for this launcher, left as it is\nnote: the menu of every "
                           "folder: not registered for this launcher, left as it is\n");
  ProcessResult menu = Tool({"unregister", L, "--menu"});
  EXPECT_EQ(menu.out.rfind(L + ": unregistered the menu of every file; it stays registered for .oqm, Send To\n", 0), 0u)
      << menu.out;
  ASSERT_EQ(Tool({"unregister", L}).exitCode, 0);
  EXPECT_EQ(Export(UserClasses()), before);
  EXPECT_EQ(SendToListing(), filesBefore);
}

// update, run from a release's folder over a folder of the last release's launchers (a
// plain one, a waiting one, a plain one renamed), each pointed at the recorder: each
// becomes this build's launcher of its kind with its template, the file type registered
// for the renamed one still opens through it, a launcher in use is left as it was and
// named, and run again, update changes nothing.
TEST_F(FileTypes, UpdateKeepsEachLaunchersTemplateAndRegistrations) {
  const std::wstring release = TestDir() + L"update release\\", old = TestDir() + L"update old \u00e9\\";
  for (const std::wstring& folder : {release, old}) CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring built = TestDir() + L"..\\..\\launcher\\";
  for (const wchar_t* kind : {L"opener.exe", L"opener-wait.exe"})
    ASSERT_TRUE(CopyFileW((built + kind).c_str(), (release + kind).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Utf16(TemplateTool()).c_str(), (release + L"opener-template.exe").c_str(), FALSE));
  const std::string recorder = "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"";
  const std::wstring last = TestDir() + L"release-1.0.0\\";
  for (const auto& [from, to] :
       {std::pair{L"opener.exe", L"opener.exe"}, std::pair{L"opener-wait.exe", L"opener-wait.exe"},
        std::pair{L"opener.exe", L"notes.exe"}}) {
    ASSERT_TRUE(CopyFileW((last + from).c_str(), (old + to).c_str(), FALSE));
    ASSERT_EQ(Tool({"set", Utf8(old + to), recorder}).exitCode, 0);
  }
  ASSERT_TRUE(CopyFileW((TestDir() + L"recorder.exe").c_str(), (old + L"editor.exe").c_str(), FALSE));
  // The type as the last release's register left it, for everyone (Wine's shell reads those).
  const std::wstring command = L"\"" + old + L"notes.exe\" \"%1\"";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.oqy", nullptr, REG_SZ, L"opener.oqy", 22);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\opener.oqy\\shell\\open\\command", nullptr, REG_SZ,
                  command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));

  // The waiting one is in use: held open as Windows holds a program that runs (the last
  // release's are 32-bit programs, which a 64-bit Wine without 32-bit support cannot start).
  const std::string updater = Utf8(release) + "opener-template.exe", O = Utf8(old);
  OwnedHandle inUse = OwnFile(CreateFileW((old + L"opener-wait.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(inUse);
  ProcessResult first = RunProcess(updater, {"update", O});
  inUse.Reset();
  // This build's launchers are the last release's where nothing in them changed since (the
  // 32-bit build): then each is up to date, and none needs writing.
  const bool same = ReadBytes(Utf8(built) + "opener.exe") == ReadBytes(Utf8(last) + "opener.exe");
  const std::string plain = same ? "up to date: " : "updated: ", kept = same ? ")\n" : "), its template kept\n";
  const std::vector<std::string> lines = Lines(first.out);
  EXPECT_EQ(first.exitCode, same ? 0 : 1) << first.out << first.err;
  ASSERT_EQ(lines.size(), 3u) << first.out;
  EXPECT_EQ(lines[0] + "\n", plain + O + "notes.exe (opener" + kept);
  EXPECT_EQ(
      lines[1].rfind(same ? "up to date: " + O + "opener-wait.exe" : "left as it was: " + O + "opener-wait.exe: ", 0),
      0u)
      << lines[1];
  EXPECT_EQ(lines[2] + "\n", plain + O + "opener.exe (opener" + kept);

  ProcessResult second = RunProcess(updater, {"update", O});
  EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
  const std::string wait = same ? "up to date: " : "updated: ";
  EXPECT_EQ(second.out, "up to date: " + O + "notes.exe (opener)\n" + wait + O + "opener-wait.exe (opener-wait" +
                            (same ? ")\n" : "), its template kept\n") + "up to date: " + O + "opener.exe (opener)\n");
  EXPECT_EQ(RunProcess(updater, {"update", O}).out.find("updated"), std::string::npos)
      << "a second run changed something";
  for (const wchar_t* kind : {L"opener.exe", L"opener-wait.exe"}) {
    const std::wstring name = std::wstring(kind) == L"opener.exe" ? L"notes.exe" : kind;
    std::string now = ReadBytes(Utf8(old + name)), fresh = ReadBytes(Utf8(built + kind));
    EXPECT_EQ(Tool({"show", Utf8(old + name)}).out, recorder + "\n");
    EXPECT_EQ(now.size(), fresh.size()) << Utf8(name);
  }

  EXPECT_EQ(OpenNewDocument(L"updated d\u00e9j\u00e0.oqy"), Recorded(L"updated d\u00e9j\u00e0.oqy"));
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\opener.oqy");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.oqy");
}

// check holds the launcher it read: nobody can write it, rename another file over it or
// delete it until the run is over.
TEST_F(FileTypes, CheckHoldsTheLauncherItRead) {
  const std::wstring launcher = Retarget(L"opener-held.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring other = TestDir() + L"opener-other.exe";
  ASSERT_TRUE(CopyFileW(kRecording.c_str(), other.c_str(), FALSE));
  std::string bytes;
  {
    HeldFile held;
    ASSERT_EQ(ReadAndHoldFile(Utf8(launcher), bytes, kMaxExecutableSize, held), "");
    EXPECT_FALSE(MoveFileExW(other.c_str(), launcher.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(DeleteFileW(launcher.c_str()));
    EXPECT_EQ(CreateFileW(launcher.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          0, nullptr),
              INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(ReadBytes(Utf8(launcher)), bytes);
  EXPECT_TRUE(MoveFileExW(other.c_str(), launcher.c_str(), MOVEFILE_REPLACE_EXISTING));
}

// The menus for everyone, run as the shell runs a menu's entry (Wine's shell looks at *
// and Directory only for a named class), on names with a space and a non-ASCII character.
TEST_F(FileTypes, MenusForEveryoneRunAndComeBack) {
  const std::wstring launcher = Retarget(L"opener-menu.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring classes = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\";
  const std::string before = Export(classes + L"*") + Export(classes + L"Directory");
  ProcessResult registered = Tool({"register", Utf8(launcher), "--menu", "--folders", "--all-users"});
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_NE(registered.out.find("menu: \"Edit with Records how it was started\" on every user's right-click menu"),
            std::string::npos)
      << registered.out;
  const std::wstring verb = ClassKey(launcher);
  const std::wstring document = TestDir() + L"menu d\u00e9j\u00e0 vu.txt",
                     folder = TestDir() + L"menu d\u00e9j\u00e0 dir";
  WriteBytes(Utf8(document), "text\r\n");
  CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_EQ(RunVerb(L"*", nullptr, verb, document), std::vector<std::string>{Utf8(document)});
  EXPECT_EQ(RunVerb(L"Directory", nullptr, verb, folder), std::vector<std::string>{Utf8(folder)});
  // Wine fills no %V: the background's command is read back.
  EXPECT_EQ(
      Read(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Directory\\Background\\shell\\" + verb + L"\\command", nullptr),
      L"\"" + launcher + L"\" \"%V\"");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Software\\Classes\\*\\shell\\" + verb, L"MultiSelectModel"), L"Player");
  ProcessResult check = Tool({"check", Utf8(launcher)});
  EXPECT_NE(
      check.out.find("registered: for you: nothing; for all users: the menu of every file, the menu of every folder\n"),
      std::string::npos)
      << check.out;

  ProcessResult removed = Tool({"unregister", Utf8(launcher), "--all-users"});
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(Export(classes + L"*") + Export(classes + L"Directory"), before);
}

// For the user: the menu run through its class key, Send To's shortcut read back and
// opened with files as Explorer writes them; unregister gives the registry and the Send
// To folder back.
TEST_F(FileTypes, MenuAndSendToForTheUserRunAndComeBack) {
  const std::wstring launcher = Retarget(L"opener-sent.exe", "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"");
  const std::wstring sendTo = SendToFolder();
  const std::string before = Export(UserClasses()), filesBefore = SendToListing();
  EXPECT_EQ(Tool({"register", Utf8(launcher), "--send-to", "--all-users"}).exitCode, 2);
  ProcessResult registered = Tool({"register", Utf8(launcher), "--menu", "--send-to"});
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_NE(registered.out.find("send to: Records how it was started in your Send To menu\n"), std::string::npos)
      << registered.out;

  const std::wstring document = TestDir() + L"sent d\u00e9j\u00e0 vu.txt";
  WriteBytes(Utf8(document), "text\r\n");
  EXPECT_EQ(RunVerb(L"*", HKEY_CURRENT_USER, ClassKey(launcher), document), std::vector<std::string>{Utf8(document)});

  const std::wstring shortcut = sendTo + L"Records how it was started.lnk";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  wchar_t target[MAX_PATH] = L"", icon[MAX_PATH] = L"";
  int index = -1;
  ASSERT_TRUE(
      SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid())));
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())));
  EXPECT_TRUE(SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)));
  link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  link->GetIconLocation(icon, MAX_PATH, &index);
  EXPECT_EQ(std::wstring(target), launcher);
  EXPECT_EQ(std::wstring(icon), TestDir() + L"recorder.exe");

  // Files sent as Explorer writes them: each name quoted only where it holds a space.
  const std::wstring plain = TestDir() + L"plain.zzz";
  WriteBytes(Utf8(plain), "x");
  const std::wstring parameters = L"\"" + document + L"\" " + plain;
  SetEnvironmentVariableW(L"OPENER_RECORD_ARGS", L"1");
  DeleteFileW(record_.c_str());
  SHELLEXECUTEINFOW open{};
  open.lpFile = shortcut.c_str();
  open.lpParameters = parameters.c_str();
  ASSERT_TRUE(ShellRun(open));
  const std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - Utf8(document + L"\t" + plain).size()), Utf8(document + L"\t" + plain));

  ProcessResult removed = Tool({"unregister", Utf8(launcher)});
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(removed.out.rfind(Utf8(launcher) + ": unregistered the menu of every file, Send To\n", 0), 0u)
      << removed.out;
  EXPECT_EQ(Export(UserClasses()), before);
  EXPECT_EQ(SendToListing(), filesBefore);
}

// setup, answered on standard input: wrong answers asked again, changing nothing; then it
// makes byte for byte what set --program and register make from the same answers; input
// that ends early leaves the later steps undone; run again, it takes everything back.
TEST_F(FileTypes, SetupDoesWhatItsCommandsDo) {
  const std::string stored = "\"" + Utf8(TestDir()) + "recorder.exe\" \"%s\"";
  const std::wstring launcher = Retarget(L"opener-setup.exe", stored);
  const std::wstring editorFolder = TestDir() + L"Ed Dir \u00e9\\";
  CreateDirectoryW(editorFolder.c_str(), nullptr);
  const std::wstring editor = editorFolder + L"ed.exe";
  ASSERT_TRUE(CopyFileW((TestDir() + L"recorder.exe").c_str(), editor.c_str(), FALSE));
  const std::wstring& all = UserClasses();
  auto state = [&] { return Export(all) + SendToListing() + Tool({"show", Utf8(launcher)}).out; };
  const std::string before = state(), registryBefore = Export(all);
  const std::string path = Utf8(editor), L = Utf8(launcher);

  // The tool names itself by its full path in the commands it prints.
  wchar_t full[MAX_PATH];
  GetFullPathNameW(Utf16(TemplateTool()).c_str(), MAX_PATH, full, nullptr);
  const std::string tool = Utf8(full);

  // Ended after the editor: the template is set, nothing else.
  ProcessResult early = RunProcess(TemplateTool(), {"setup", L}, path + "\n");
  EXPECT_EQ(early.exitCode, 1) << early.out << early.err;
  EXPECT_NE(early.out.find("Stopped. What was done, as the commands that do it:\n  " + tool + " set"),
            std::string::npos)
      << early.out;
  EXPECT_EQ(Export(all), registryBefore) << "registered though the input ended before";
  EXPECT_EQ(Tool({"show", L}).out, "\"" + path + "\" \"%s\"\n");
  ASSERT_EQ(Tool({"set", L, stored}).exitCode, 0);
  EXPECT_EQ(state(), before);

  const std::string answers = Utf8(TestDir()) + "\n" + Utf8(TestDir()) + "missing.exe\n" + L + "\n\"" + path +
                              "\"\n.exe .oqw\n.oqw .oqx\n\n\ny\n\n";
  ProcessResult setup = RunProcess(TemplateTool(), {"setup", L}, answers);
  EXPECT_EQ(setup.exitCode, 0) << setup.out << setup.err;
  for (const char* said : {"that is a folder, not a program; try again", "Windows finds no program", "try again",
                           "a launcher in their place would break", "Done. What was done"})
    EXPECT_NE((setup.out + setup.err).find(said), std::string::npos) << said << "\n" << setup.out;
  // The commands it printed, pasted into cmd.exe in another folder: the two that take it
  // back leave what was there before, and those it ran make it again.
  const std::string bySetup = state();
  auto printed = [&](const std::string& after) {
    std::vector<std::string> commands;
    for (std::size_t at = setup.out.find(after); at != std::string::npos; at = setup.out.find(after, at + 1)) {
      const std::size_t start = at + after.size();
      commands.push_back(setup.out.substr(start, setup.out.find('\n', start) - start));
    }
    return commands;
  };
  auto paste = [&](const std::vector<std::string>& commands) {
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    SetCurrentDirectoryW(L"C:\\");
    for (const std::string& command : commands)
      EXPECT_EQ(Start(L"", L"cmd.exe /s /c \"" + Utf16(command) + L"\""), 0u) << command;
    SetCurrentDirectoryW(here);
  };
  const std::vector<std::string> takeBack = printed("To take the file types and places back: "),
                                 templateBack = printed("To put the template back as it was: "),
                                 ran = printed("\n  " + tool + " ");
  ASSERT_EQ(takeBack.size() + templateBack.size(), 2u) << setup.out;
  ASSERT_EQ(ran.size(), 2u) << setup.out;
  paste({takeBack[0], templateBack[0]});
  EXPECT_EQ(state(), before);
  paste({tool + " " + ran[0], tool + " " + ran[1]});
  EXPECT_EQ(state(), bySetup) << "setup made something else than its commands";

  // Run again: everything taken back.
  ProcessResult again = RunProcess(TemplateTool(), {"setup", L}, "y\n\n");
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  ASSERT_EQ(Tool({"set", L, stored}).exitCode, 0);
  EXPECT_EQ(state(), before);
}

}  // namespace
