// The user's Send To folder, its shortcuts made and read with the shell's IShellLinkW.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>

#include "send_to.h"
#include "windows_handles.h"
#include "windows_text.h"

namespace {

// COM for this thread, from the folder's start to its end.
void EndCom(bool) { CoUninitialize(); }
using ComScope = Owned<bool, EndCom>;

class SendToFolder : public Shortcuts {
 public:
  SendToFolder() : com_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

  std::string Folder() const override {
    TaskMemory<wchar_t> path;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_DONT_VERIFY, nullptr, path.Receive())) || !path) return "";
    return Utf8(path.get()) + "\\";
  }
  bool FolderExists() const override {
    const DWORD attributes = GetFileAttributesW(Utf16(Folder()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::string TargetOf(const std::string& path) const override {
    const std::wstring wide = Utf16(path);
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return "";
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    std::wstring found(32768, L'\0');
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
        FAILED(file->Load(wide.c_str(), STGM_READ)) ||
        link->GetPath(found.data(), static_cast<int>(found.size()), nullptr, SLGP_RAWPATH) != S_OK)
      return "?";
    found.resize(wcsnlen(found.c_str(), found.size()));
    return Utf8(found);
  }
  // Saved beside it under a temporary name, then renamed over it: whole or not at all.
  std::string Make(const std::string& path, const std::string& target, const std::string& icon) override {
    const std::wstring temporary = Utf16(path + ".tmp-" + std::to_string(GetCurrentProcessId()) + ".lnk");
    HRESULT result = Save(temporary, target, icon);
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
  static HRESULT Save(const std::wstring& file, const std::string& target, const std::string& icon) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> saved;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid());
    if (SUCCEEDED(result)) result = link->SetPath(Utf16(target).c_str());
    if (SUCCEEDED(result)) result = link->SetIconLocation(Utf16(icon.empty() ? target : icon).c_str(), 0);
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, saved.ReceiveVoid());
    if (SUCCEEDED(result)) result = saved->Save(file.c_str(), TRUE);
    return result;
  }

  ComScope com_;
};

}  // namespace

std::unique_ptr<Shortcuts> OpenSendTo() { return std::make_unique<SendToFolder>(); }
