// What the tool asks Windows' shell: what a type starts (AssocQueryStringW), a program's
// name (its version resource), the build of Windows; and that associations changed.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "paths.h"
#include "shell_queries.h"
#include "windows_text.h"

unsigned long WindowsBuild() {
  wchar_t build[32] = L"";
  DWORD size = sizeof build;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                   RRF_RT_REG_SZ, nullptr, build, &size) != ERROR_SUCCESS)
    return 0;
  return std::wcstoul(build, nullptr, 10);
}

std::string ProgramDisplayName(const std::string& path) {
  const std::string name = WithoutExe(FileNameOf(path));
  const std::wstring wide = Utf16(path);
  DWORD size = GetFileVersionInfoSizeW(wide.c_str(), nullptr);
  std::vector<BYTE> info(size);
  struct Language {
    WORD language, codePage;
  }* languages = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(wide.c_str(), 0, size, info.data()) ||
      !VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&languages), &length) ||
      length < sizeof(Language))
    return name;
  wchar_t query[64];
  wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\FileDescription", languages->language, languages->codePage);
  wchar_t* description = nullptr;
  if (VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&description), &length) && length > 1)
    return Utf8(std::wstring(description, length - 1));
  return name;
}

void TellShellAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

TypeAnswer AskWindowsAbout(const std::string& type) {
  TypeAnswer answer;
  const std::wstring wide = Utf16(type);
  auto ask = [&](ASSOCSTR what) {
    std::wstring text(32768, L'\0');
    DWORD size = static_cast<DWORD>(text.size());
    if (AssocQueryStringW(ASSOCF_NOTRUNCATE, what, wide.c_str(), nullptr, text.data(), &size) != S_OK)
      return std::string();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Utf8(text);
  };
  answer.command = ask(ASSOCSTR_COMMAND);
  answer.program = answer.command.empty() ? "" : ask(ASSOCSTR_EXECUTABLE);
  wchar_t choice[256] = L"";
  DWORD size = sizeof choice;
  if (RegGetValueW(
          HKEY_CURRENT_USER,
          (L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + wide + L"\\UserChoice").c_str(),
          L"ProgId", RRF_RT_REG_SZ, nullptr, choice, &size) == ERROR_SUCCESS)
    answer.userChoice = Utf8(choice);
  return answer;
}
