// A registry and a Send To folder in memory, for the decisions that Windows' own would
// take: register and unregister's model test, and setup's dialogue.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "file_types.h"
#include "path_fold.h"

// A name folded as Windows folds it, for the letters the tests use: ASCII and Latin-1.
inline std::string Fold(const std::string& name) {
  std::string folded = AsciiLower(name);
  for (std::size_t i = 0; i + 1 < folded.size(); ++i)
    if (folded[i] == '\xc3' && static_cast<unsigned char>(folded[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(folded[i + 1]) <= 0x9e && folded[i + 1] != '\x97')
      folded[i + 1] = static_cast<char>(folded[i + 1] + 0x20);
  return folded;
}

// Keys by their folded path, each with its name as written and its values; the root "" is
// always there. With `failIn` set, that many writes succeed and the next one fails (with
// `failOn`, every one after it too: a registry gone read-only midway). Its lock is held
// or not; `onFirstWrite` runs once, before the first write made while it is held: the
// moment another run would come between a run's reads and its writes.
class MemoryRegistry : public Registry {
 public:
  struct Key {
    std::string path;
    std::map<std::string, std::pair<std::string, RegistryValue>> values;
    bool operator==(const Key& other) const { return path == other.path && values == other.values; }
  };
  std::map<std::string, Key> keys{{"", Key{}}};
  int failIn = -1;
  bool failOn = false;
  bool failed = false;  // a write was made to fail
  bool held = false;
  std::function<void()> onFirstWrite;

  RegistryValue Read(const std::string& key, const std::string& name) const override {
    auto k = keys.find(Fold(key));
    if (k == keys.end()) return {};
    auto v = k->second.values.find(Fold(name));
    return v == k->second.values.end() ? RegistryValue{} : v->second.second;
  }
  bool KeyExists(const std::string& key) const override { return keys.count(Fold(key)) != 0; }
  bool KeyIsEmpty(const std::string& key) const override {
    return KeyExists(key) && keys.at(Fold(key)).values.empty() && SubKeys(key).empty();
  }
  std::vector<std::string> SubKeys(const std::string& key) const override {
    std::vector<std::string> names;
    const std::string prefix = key.empty() ? "" : Fold(key) + "\\";
    for (const auto& [folded, k] : keys)
      if (!folded.empty() && folded.compare(0, prefix.size(), prefix) == 0 &&
          folded.find('\\', prefix.size()) == std::string::npos)
        names.push_back(k.path.substr(prefix.size()));
    return names;
  }
  std::vector<std::string> ValueNames(const std::string& key) const override {
    std::vector<std::string> names;
    if (KeyExists(key))
      for (const auto& entry : keys.at(Fold(key)).values) names.push_back(entry.second.first);
    return names;
  }
  std::string CreateKey(const std::string& key) override {
    if (Fails()) return "cannot write " + key;
    keys[Fold(key)].path = key;
    return "";
  }
  std::string Write(const std::string& key, const std::string& name, const RegistryValue& value) override {
    if (Fails()) return "cannot write " + key;
    auto& values = keys.at(Fold(key)).values;
    if (value.exists)
      values[Fold(name)] = {name, value};
    else
      values.erase(Fold(name));
    return "";
  }
  std::string DeleteKey(const std::string& key) override {
    if (Fails()) return "cannot write " + key;
    keys.erase(Fold(key));
    return "";
  }
  std::string RootName() const override { return "HKEY_CURRENT_USER\\Software\\Classes"; }
  std::string Hold() override {
    if (held) return "another run holds the lock";
    held = true;
    return "";
  }
  void Release() override { held = false; }

  void Set(const std::string& key, const std::string& name, const RegistryValue& value) {
    for (std::size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
      keys[Fold(key.substr(0, end))].path = key.substr(0, end);
      if (end == std::string::npos) break;
    }
    if (!name.empty() || value.exists) keys[Fold(key)].values[Fold(name)] = {name, value};
  }

 private:
  bool Fails() {
    if (held && onFirstWrite) std::exchange(onFirstWrite, nullptr)();
    if (failed && failOn) return true;
    failed = failed || failIn == 0;
    return failIn >= 0 && failIn-- == 0;
  }
};

// A Send To folder in memory: each shortcut's path and target; with `fail`, Make fails.
class MemoryShortcuts : public Shortcuts {
 public:
  std::map<std::string, std::string> links;
  bool fail = false;
  bool folderExists = true;
  std::string Folder() const override { return "C:\\Users\\u\\SendTo\\"; }
  bool FolderExists() const override { return folderExists; }
  std::string TargetOf(const std::string& path) const override {
    auto link = links.find(Fold(path));
    return link == links.end() ? "" : link->second;
  }
  std::string Make(const std::string& path, const std::string& target, const std::string&) override {
    if (fail) return "cannot write " + path;
    links[Fold(path)] = target;
    return "";
  }
  std::string Remove(const std::string& path) override {
    links.erase(Fold(path));
    return "";
  }
};
