// opener-template register and unregister under Wine, as users set a file type up.
#include "launcher_fixture.h"

#include <shellapi.h>

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
  EXPECT_EQ(Records(),
            std::vector<std::string>{"5\t\"" + Utf8(TestDir()) + "recorder.exe\" \"" + Utf8(document) + "\""});

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

}  // namespace
