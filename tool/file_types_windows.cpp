// File types in the registry with the Win32 calls. Rules:
// - every value written is remembered as it was first, so that a failure midway puts
//   back what this run changed, keys it created removed;
// - a type's former default is kept beside it as opener.NAME.previous, with its own type
//   (REG_NONE where there was none), written only while the default is not ours yet, so
//   that registering again changes nothing;
// - unregister writes that default back where the default is still ours; where another
//   launcher registered the type since, its own .previous that names us gets ours, so
//   that its unregister gives the type back as it was before both;
// - a key this tool emptied is removed; nothing else is.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "file_types.h"
#include "windows_text.h"

namespace {

const std::wstring kClasses = L"Software\\Classes\\";

// A value as read: absent, or its type and bytes.
struct Value {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const Value& other) const {
    return exists == other.exists && type == other.type && data == other.data;
  }
};

Value Text(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {true, REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

const Value kNone{true, REG_NONE, {}};

Value Read(HKEY root, const std::wstring& key, const std::wstring& name) {
  Value value;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
  if (RegQueryValueExW(handle, valueName, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    value.exists = RegQueryValueExW(handle, valueName, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
  }
  RegCloseKey(handle);
  return value;
}

// The names of the values of `key`.
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key) {
  std::vector<std::wstring> names;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return names;
  wchar_t name[16384];
  for (DWORD i = 0, size = 16384;
       RegEnumValueW(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i, size = 16384)
    names.emplace_back(name, size);
  RegCloseKey(handle);
  return names;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// Removes `key` where it holds neither values nor keys.
void RemoveIfEmpty(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  DWORD keys = 1, values = 1;
  RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(handle);
  if (keys == 0 && values == 0) RegDeleteKeyW(root, key.c_str());
}

// Changes to one root, each remembered so that Undo puts back what was there.
class Edits {
 public:
  Edits(HKEY root, std::wstring rootName) : root_(root), rootName_(std::move(rootName)) {}

  // Sets `name` (L"": the default) of `key`, creating the key and those above it.
  std::string Set(const std::wstring& key, const std::wstring& name, const Value& value) {
    for (std::size_t end = key.find(L'\\');; end = key.find(L'\\', end + 1)) {
      const std::wstring upper = key.substr(0, end);
      if (!KeyExists(root_, upper)) {
        HKEY created = nullptr;
        if (LONG error = RegCreateKeyExW(root_, upper.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr);
            error != ERROR_SUCCESS)
          return Failed(upper, error);
        RegCloseKey(created);
        steps_.push_back({upper, L"", true, {}});
      }
      if (end == std::wstring::npos) break;
    }
    const Value before = Read(root_, key, name);
    if (before == value) return "";
    const LONG error = Write(key, name, value);
    if (error != ERROR_SUCCESS) return Failed(key, error);
    steps_.push_back({key, name, false, before});
    return "";
  }

  // Removes the value `name` of `key`, where there is one.
  std::string Remove(const std::wstring& key, const std::wstring& name) {
    const Value before = Read(root_, key, name);
    if (!before.exists) return "";
    const LONG error = Write(key, name, Value{});
    if (error != ERROR_SUCCESS) return Failed(key, error);
    steps_.push_back({key, name, false, before});
    return "";
  }

  // Puts back every value as it was and removes the keys created, the last change first.
  void Undo() {
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
      if (step->created)
        RegDeleteKeyW(root_, step->key.c_str());
      else
        Write(step->key, step->name, step->before);
    }
    steps_.clear();
  }

 private:
  struct Step {
    std::wstring key, name;
    bool created;  // the key was created; else the value was changed from `before`
    Value before;
  };

  // Writes `value`, or removes the value where it does not exist.
  LONG Write(const std::wstring& key, const std::wstring& name, const Value& value) {
    HKEY handle = nullptr;
    LONG error = RegOpenKeyExW(root_, key.c_str(), 0, KEY_SET_VALUE, &handle);
    if (error != ERROR_SUCCESS) return error;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    error = value.exists ? RegSetValueExW(handle, valueName, 0, value.type, value.data.data(),
                                          static_cast<DWORD>(value.data.size()))
                         : RegDeleteValueW(handle, valueName);
    RegCloseKey(handle);
    return error;
  }

  std::string Failed(const std::wstring& key, LONG error) const {
    return "cannot write " + Utf8(rootName_ + L"\\" + key) + ": " + ErrorText(static_cast<unsigned long>(error)) +
           (error == ERROR_ACCESS_DENIED ? " (run it as an administrator)" : "");
  }

  HKEY root_;
  std::wstring rootName_;
  std::vector<Step> steps_;
};

HKEY RootOf(const Registration& registration) { return registration.allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
std::wstring RootNameOf(const Registration& registration) {
  return registration.allUsers ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

std::wstring FileName(const std::string& path) { return Utf16(path.substr(path.find_last_of("\\/") + 1)); }

// The name Windows shows for a program: its version resource's FileDescription, else its
// file name without ".exe".
std::wstring ProgramName(const std::string& path) {
  std::wstring name = FileName(path);
  if (name.size() > 4 && CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".exe", 4, TRUE) == CSTR_EQUAL)
    name.resize(name.size() - 4);
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
    return std::wstring(description, length - 1);
  return name;
}

void TellShell() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace

const bool kHasRegistry = true;

std::string RegisterTypes(const Registration& registration) {
  const HKEY root = RootOf(registration);
  const std::wstring name = FileName(registration.launcher);
  const std::wstring progId = Utf16(ClassOf(registration.launcher));
  const std::wstring progKey = kClasses + progId;
  const std::wstring appKey = kClasses + L"Applications\\" + name;
  const Value command = Text(L"\"" + Utf16(registration.launcher) + L"\" \"%1\"");
  const std::wstring editor = ProgramName(registration.editor.empty() ? registration.launcher : registration.editor);

  struct Write {
    std::wstring key, name;
    Value value;
  };
  std::vector<Write> writes = {{progKey, L"", Text(editor + L" file (opener)")},
                               {progKey + L"\\shell\\open\\command", L"", command},
                               {appKey, L"FriendlyAppName", Text(editor)},
                               {appKey + L"\\shell\\open\\command", L"", command}};
  if (!registration.editor.empty())
    writes.push_back({progKey + L"\\DefaultIcon", L"", Text(L"\"" + Utf16(registration.editor) + L"\",0")});
  for (const std::string& type : registration.types) {
    const std::wstring typeKey = kClasses + Utf16(type);
    const Value current = Read(root, typeKey, L"");
    if (!(current == Text(progId)))
      writes.push_back({typeKey, progId + L".previous", current.exists ? current : kNone});
    writes.push_back({typeKey, L"", Text(progId)});
    writes.push_back({typeKey + L"\\OpenWithProgids", progId, kNone});
    writes.push_back({appKey + L"\\SupportedTypes", Utf16(type), Text(L"")});
  }

  Edits edits(root, RootNameOf(registration));
  for (const Write& write : writes) {
    if (std::string error = edits.Set(write.key, write.name, write.value); !error.empty()) {
      edits.Undo();
      return error + "; nothing was changed";
    }
  }
  TellShell();
  return "";
}

std::string UnregisterTypes(const Registration& registration) {
  const HKEY root = RootOf(registration);
  const std::wstring progId = Utf16(ClassOf(registration.launcher));
  const std::wstring appKey = kClasses + L"Applications\\" + FileName(registration.launcher);
  std::vector<std::wstring> types;
  for (const std::string& type : registration.types) types.push_back(Utf16(type));
  if (types.empty()) types = ValueNames(root, appKey + L"\\SupportedTypes");

  Edits edits(root, RootNameOf(registration));
  std::string error;
  for (const std::wstring& type : types) {
    const std::wstring typeKey = kClasses + type;
    const Value previous = Read(root, typeKey, progId + L".previous");
    if (Read(root, typeKey, L"") == Text(progId)) {
      error =
          previous.exists && previous.type != REG_NONE ? edits.Set(typeKey, L"", previous) : edits.Remove(typeKey, L"");
    } else if (previous.exists) {
      // Registered again since by another launcher: its former default is ours.
      for (const std::wstring& other : ValueNames(root, typeKey))
        if (error.empty() && other != progId + L".previous" && Read(root, typeKey, other) == Text(progId))
          error = edits.Set(typeKey, other, previous);
    }
    for (const auto& [key, name] :
         {std::pair{typeKey, progId + L".previous"}, std::pair{typeKey + L"\\OpenWithProgids", progId},
          std::pair{appKey + L"\\SupportedTypes", type}})
      if (error.empty()) error = edits.Remove(key, name);
    if (!error.empty()) {
      edits.Undo();
      return error + "; nothing was changed";
    }
  }
  for (const std::wstring& type : types) {
    RemoveIfEmpty(root, kClasses + type + L"\\OpenWithProgids");
    RemoveIfEmpty(root, kClasses + type);
  }
  if (ValueNames(root, appKey + L"\\SupportedTypes").empty()) {
    RegDeleteTreeW(root, appKey.c_str());
    RegDeleteTreeW(root, (kClasses + progId).c_str());
    RemoveIfEmpty(root, kClasses + L"Applications");
  }
  TellShell();
  return "";
}

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
  const Value choice =
      Read(HKEY_CURRENT_USER,
           L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + wide + L"\\UserChoice", L"ProgId");
  if (choice.exists && choice.type == REG_SZ && choice.data.size() >= sizeof(wchar_t))
    answer.userChoice = Utf8(
        std::wstring(reinterpret_cast<const wchar_t*>(choice.data.data()), choice.data.size() / sizeof(wchar_t) - 1));
  return answer;
}
