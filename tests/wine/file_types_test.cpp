// opener-template register and unregister under Wine, as users set a file type up.
#include "launcher_fixture.h"

#include <shellapi.h>

#include "file_io.h"
#include "file_types.h"

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
  EXPECT_EQ(Records(),
            std::vector<std::string>{"5\t\"" + Utf8(TestDir()) + "recorder.exe\" \"" + Utf8(document) + "\""});

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
  EXPECT_EQ(Export(L"HKEY_CURRENT_USER\\Software\\Classes"), before);
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
  const std::wstring all = L"HKEY_CURRENT_USER\\Software\\Classes";
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

}  // namespace
