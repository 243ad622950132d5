// The registry and the shell with the Win32 calls: a root of classes for the decisions of
// file_types.cpp, the name Windows shows for a program, and what Windows starts for a type.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "file_types.h"
#include "program_search.h"
#include "windows_text.h"

namespace {

// HKEY_CURRENT_USER's or HKEY_LOCAL_MACHINE's Software\Classes; keys below it by their path.
class WindowsClasses : public Registry {
 public:
  WindowsClasses(HKEY root, std::string rootName) : root_(root), rootName_(std::move(rootName)) {}

  RegistryValue Read(const std::string& key, const std::string& name) const override {
    RegistryValue value;
    HKEY handle = Open(key, KEY_QUERY_VALUE);
    if (!handle) return value;
    const std::wstring wide = Utf16(name);
    const wchar_t* valueName = name.empty() ? nullptr : wide.c_str();
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(handle, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      value.data.resize(size);
      value.exists = RegQueryValueExW(handle, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data.data()),
                                      &size) == ERROR_SUCCESS;
      value.data.resize(size);
      value.type = type;
    }
    RegCloseKey(handle);
    return value;
  }
  bool KeyExists(const std::string& key) const override {
    HKEY handle = Open(key, KEY_READ);
    if (handle) RegCloseKey(handle);
    return handle != nullptr;
  }
  bool KeyIsEmpty(const std::string& key) const override {
    HKEY handle = Open(key, KEY_READ);
    if (!handle) return false;
    DWORD keys = 1, values = 1;
    const LONG error = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr,
                                        nullptr, nullptr, nullptr);
    RegCloseKey(handle);
    return error == ERROR_SUCCESS && keys == 0 && values == 0;
  }
  std::vector<std::string> SubKeys(const std::string& key) const override {
    std::vector<std::string> names;
    HKEY handle = Open(key, KEY_READ);
    if (!handle) return names;
    wchar_t name[256];
    for (DWORD i = 0, size = 256;
         RegEnumKeyExW(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i, size = 256)
      names.push_back(Utf8(std::wstring(name, size)));
    RegCloseKey(handle);
    return names;
  }
  std::vector<std::string> ValueNames(const std::string& key) const override {
    std::vector<std::string> names;
    HKEY handle = Open(key, KEY_QUERY_VALUE);
    if (!handle) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0, size = 16384;
         RegEnumValueW(handle, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 16384)
      names.push_back(Utf8(std::wstring(name.data(), size)));
    RegCloseKey(handle);
    return names;
  }
  std::string CreateKey(const std::string& key) override {
    HKEY created = nullptr;
    const LONG error = RegCreateKeyExW(root_, Path(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr);
    if (error != ERROR_SUCCESS) return Failed(key, error);
    RegCloseKey(created);
    return "";
  }
  std::string Write(const std::string& key, const std::string& name, const RegistryValue& value) override {
    HKEY handle = nullptr;
    LONG error = RegOpenKeyExW(root_, Path(key).c_str(), 0, KEY_SET_VALUE, &handle);
    if (error == ERROR_SUCCESS) {
      const std::wstring wide = Utf16(name);
      const wchar_t* valueName = name.empty() ? nullptr : wide.c_str();
      error = value.exists
                  ? RegSetValueExW(handle, valueName, 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                                   static_cast<DWORD>(value.data.size()))
                  : RegDeleteValueW(handle, valueName);
      if (!value.exists && error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
      RegCloseKey(handle);
    }
    return error == ERROR_SUCCESS ? "" : Failed(key, error);
  }
  std::string DeleteKey(const std::string& key) override {
    const LONG error = RegDeleteKeyW(root_, Path(key).c_str());
    return error == ERROR_SUCCESS ? "" : Failed(key, error);
  }
  std::string RootName() const override { return rootName_ + "\\Software\\Classes"; }

 private:
  static std::wstring Path(const std::string& key) {
    return L"Software\\Classes" + (key.empty() ? std::wstring() : L"\\" + Utf16(key));
  }
  HKEY Open(const std::string& key, REGSAM access) const {
    HKEY handle = nullptr;
    return RegOpenKeyExW(root_, Path(key).c_str(), 0, access, &handle) == ERROR_SUCCESS ? handle : nullptr;
  }
  std::string Failed(const std::string& key, LONG error) const {
    return "cannot write " + RootName() + "\\" + key + ": " + ErrorText(static_cast<unsigned long>(error)) +
           (error == ERROR_ACCESS_DENIED ? " (run it as an administrator)" : "");
  }

  HKEY root_;
  std::string rootName_;
};

// The user's Send To folder, its shortcuts made and read with IShellLinkW.
class SendToFolder : public Shortcuts {
 public:
  SendToFolder() : com_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~SendToFolder() override {
    if (com_) CoUninitialize();
  }
  SendToFolder(const SendToFolder&) = delete;
  SendToFolder& operator=(const SendToFolder&) = delete;

  std::string Folder() const override {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &path))) folder = Utf8(path) + "\\";
    CoTaskMemFree(path);
    return folder;
  }
  std::string TargetOf(const std::string& path) const override {
    const std::wstring wide = Utf16(path);
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return "";
    std::string target = "?";
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    std::wstring found(32768, L'\0');
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
        link->GetPath(found.data(), static_cast<int>(found.size()), nullptr, SLGP_RAWPATH) == S_OK) {
      found.resize(wcsnlen(found.c_str(), found.size()));
      target = Utf8(found);
    }
    if (file) file->Release();
    if (link) link->Release();
    return target;
  }
  // Saved beside it under a temporary name, then renamed over it: whole or not at all.
  std::string Make(const std::string& path, const std::string& target, const std::string& icon) override {
    const std::wstring temporary = Utf16(path + ".tmp-" + std::to_string(GetCurrentProcessId()) + ".lnk");
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) result = link->SetPath(Utf16(target).c_str());
    if (SUCCEEDED(result)) result = link->SetIconLocation(Utf16(icon.empty() ? target : icon).c_str(), 0);
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) result = file->Save(temporary.c_str(), TRUE);
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(result) &&
        !MoveFileExW(temporary.c_str(), Utf16(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      result = HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(result)) {
      DeleteFileW(temporary.c_str());
      return "cannot write " + path + ": " + ErrorText(static_cast<unsigned long>(result));
    }
    return "";
  }
  std::string Remove(const std::string& path) override {
    if (DeleteFileW(Utf16(path).c_str())) return "";
    return "cannot remove " + path + ": " + ErrorText(GetLastError());
  }

 private:
  bool com_;
};

}  // namespace

const bool kHasRegistry = true;

std::unique_ptr<Shortcuts> OpenSendTo() { return std::make_unique<SendToFolder>(); }

unsigned long WindowsBuild() {
  wchar_t build[32] = L"";
  DWORD size = sizeof build;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                   RRF_RT_REG_SZ, nullptr, build, &size) != ERROR_SUCCESS)
    return 0;
  return std::wcstoul(build, nullptr, 10);
}

std::unique_ptr<Registry> OpenClasses(bool allUsers) {
  if (allUsers) return std::make_unique<WindowsClasses>(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
  return std::make_unique<WindowsClasses>(HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
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
