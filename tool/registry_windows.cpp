// The registry with the Win32 calls: a root of classes (HKEY_CURRENT_USER's or
// HKEY_LOCAL_MACHINE's Software\Classes) for the decisions of file_types.cpp.
#include <windows.h>
#include <sddl.h>

#include <vector>

#include "registry.h"
#include "windows_handles.h"
#include "windows_text.h"

namespace {

// Keys below the root of classes by their path.
class WindowsClasses : public Registry {
 public:
  WindowsClasses(HKEY root, std::string rootName) : root_(root), rootName_(std::move(rootName)) {}

  RegistryValue Read(const std::string& key, const std::string& name) const override {
    RegistryValue value;
    const OwnedKey handle = Open(key, KEY_QUERY_VALUE);
    if (!handle) return value;
    const std::wstring wide = Utf16(name);
    const wchar_t* valueName = name.empty() ? nullptr : wide.c_str();
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(handle.get(), valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      value.data.resize(size);
      value.exists = RegQueryValueExW(handle.get(), valueName, nullptr, &type,
                                      reinterpret_cast<BYTE*>(value.data.data()), &size) == ERROR_SUCCESS;
      value.data.resize(size);
      value.type = type;
    }
    return value;
  }
  bool KeyExists(const std::string& key) const override { return static_cast<bool>(Open(key, KEY_READ)); }
  bool KeyIsEmpty(const std::string& key) const override {
    const OwnedKey handle = Open(key, KEY_READ);
    if (!handle) return false;
    DWORD keys = 1, values = 1;
    const LONG error = RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values,
                                        nullptr, nullptr, nullptr, nullptr);
    return error == ERROR_SUCCESS && keys == 0 && values == 0;
  }
  std::vector<std::string> SubKeys(const std::string& key) const override {
    std::vector<std::string> names;
    const OwnedKey handle = Open(key, KEY_READ);
    if (!handle) return names;
    wchar_t name[256];
    for (DWORD i = 0, size = 256;
         RegEnumKeyExW(handle.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 256)
      names.push_back(Utf8(std::wstring(name, size)));
    return names;
  }
  std::vector<std::string> ValueNames(const std::string& key) const override {
    std::vector<std::string> names;
    const OwnedKey handle = Open(key, KEY_QUERY_VALUE);
    if (!handle) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0, size = 16384;
         RegEnumValueW(handle.get(), i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 16384)
      names.push_back(Utf8(std::wstring(name.data(), size)));
    return names;
  }
  std::string CreateKey(const std::string& key) override {
    OwnedKey created;
    const LONG error =
        RegCreateKeyExW(root_, Path(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, created.Receive(), nullptr);
    if (error != ERROR_SUCCESS) created.Release();
    return error == ERROR_SUCCESS ? "" : Failed(key, error);
  }
  std::string Write(const std::string& key, const std::string& name, const RegistryValue& value) override {
    OwnedKey handle;
    LONG error = RegOpenKeyExW(root_, Path(key).c_str(), 0, KEY_SET_VALUE, handle.Receive());
    if (error != ERROR_SUCCESS) handle.Release();
    if (error == ERROR_SUCCESS) {
      const std::wstring wide = Utf16(name);
      const wchar_t* valueName = name.empty() ? nullptr : wide.c_str();
      error = value.exists ? RegSetValueExW(handle.get(), valueName, 0, value.type,
                                            reinterpret_cast<const BYTE*>(value.data.data()),
                                            static_cast<DWORD>(value.data.size()))
                           : RegDeleteValueW(handle.get(), valueName);
      if (!value.exists && error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
    }
    return error == ERROR_SUCCESS ? "" : Failed(key, error);
  }
  std::string DeleteKey(const std::string& key) override {
    const LONG error = RegDeleteKeyW(root_, Path(key).c_str());
    return error == ERROR_SUCCESS ? "" : Failed(key, error);
  }
  std::string RootName() const override { return rootName_ + "\\Software\\Classes"; }

  // A mutex of the session-wide namespace, so that the runs of every session share it:
  // per user for the user's classes (named by the user's SID), one for the machine's.
  // Any signed-in user may wait on it and release it; an abandoned one is taken over.
  std::string Hold() override {
    const std::wstring name = Utf16(LockName());
    LocalMemory<void> security;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100001;;;AU)",
                                                             SDDL_REVISION_1, security.Receive(), nullptr))
      attributes.lpSecurityDescriptor = security.get();
    lock_ = OwnedHandle(CreateMutexW(&attributes, FALSE, name.c_str()));
    if (!lock_) lock_ = OwnedHandle(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    if (!lock_) return "cannot take the lock " + LockName() + ": " + ErrorText(GetLastError());
    const DWORD waited = WaitForSingleObject(lock_.get(), kLockWaitSeconds * 1000);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return "";
    lock_.Reset();
    return "another run of opener-template is changing " + RootName() + " and held its lock (" + LockName() + ") for " +
           std::to_string(kLockWaitSeconds) + " s; try again once it has ended";
  }
  void Release() override {
    if (lock_) ReleaseMutex(lock_.get());
    lock_.Reset();
  }

 private:
  static std::wstring Path(const std::string& key) {
    return L"Software\\Classes" + (key.empty() ? std::wstring() : L"\\" + Utf16(key));
  }
  OwnedKey Open(const std::string& key, REGSAM access) const {
    OwnedKey handle;
    // What a failed call leaves in its out-parameter is no key to close.
    if (RegOpenKeyExW(root_, Path(key).c_str(), 0, access, handle.Receive()) != ERROR_SUCCESS) handle.Release();
    return handle;
  }
  std::string Failed(const std::string& key, LONG error) const {
    return "cannot write " + RootName() + "\\" + key + ": " + ErrorText(static_cast<unsigned long>(error)) +
           (error == ERROR_ACCESS_DENIED ? " (run it as an administrator)" : "");
  }

  static constexpr DWORD kLockWaitSeconds = 10;

  std::string LockName() const { return ClassesLockName(root_ == HKEY_LOCAL_MACHINE); }

  HKEY root_;
  std::string rootName_;
  OwnedHandle lock_;
};

}  // namespace

std::string ClassesLockName(bool allUsers) {
  std::string owner = "machine";
  OwnedHandle token;
  std::vector<char> user(512);
  DWORD size = 0;
  LocalMemory<wchar_t> sid;
  if (!allUsers && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()) &&
      GetTokenInformation(token.get(), TokenUser, user.data(), static_cast<DWORD>(user.size()), &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, sid.Receive()))
    owner = Utf8(sid.get());
  return "Global\\opener-template.classes." + owner;
}

std::unique_ptr<Registry> OpenClasses(bool allUsers) {
  if (allUsers) return std::make_unique<WindowsClasses>(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
  return std::make_unique<WindowsClasses>(HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
}
