// The registry as register and unregister see it: one root of classes (HKEY_CURRENT_USER's
// or HKEY_LOCAL_MACHINE's Software\Classes), keys named by their path under it, values as
// their type and bytes. The Win32 calls are in registry_windows.cpp (registry_none.cpp
// elsewhere); the tests run the same decisions against a registry in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Windows' value types that we name.
inline constexpr std::uint32_t kRegNone = 0;  // REG_NONE
inline constexpr std::uint32_t kRegSz = 1;    // REG_SZ: UTF-16LE with its NUL

// A value as read: absent, or its type and bytes (a REG_NONE value is there all the same).
struct RegistryValue {
  bool exists = false;
  std::uint32_t type = kRegNone;
  std::string data;
  bool operator==(const RegistryValue& other) const {
    return exists == other.exists && (!exists || (type == other.type && data == other.data));
  }
  bool operator!=(const RegistryValue& other) const { return !(*this == other); }
};

// A REG_SZ value holding the UTF-8 `text`; an empty REG_NONE value.
RegistryValue StringValue(std::string_view text);
RegistryValue EmptyNoneValue();
// The text of a REG_SZ value, as UTF-8 (up to its first NUL); "" for any other value.
std::string TextOfValue(const RegistryValue& value);

// Whether two key or value names are one for the registry (case folded as Windows folds it).
bool SameRegistryName(std::string_view a, std::string_view b);
// Whether `names` holds `name`, as the registry compares names.
bool HoldsRegistryName(const std::vector<std::string>& names, std::string_view name);
// Whether the key `key` is `upper` or a key under it.
bool IsKeyUnder(std::string_view key, std::string_view upper);

class Registry {
 public:
  virtual ~Registry() = default;
  // The value `name` ("": the default) of `key`; absent where the key or value is.
  virtual RegistryValue Read(const std::string& key, const std::string& name) const = 0;
  virtual bool KeyExists(const std::string& key) const = 0;
  // Whether `key` holds neither values nor keys (false where it does not exist).
  virtual bool KeyIsEmpty(const std::string& key) const = 0;
  virtual std::vector<std::string> SubKeys(const std::string& key) const = 0;
  virtual std::vector<std::string> ValueNames(const std::string& key) const = 0;
  // Each returns "" or what failed, naming the key.
  // Creates `key`, whose parent exists.
  [[nodiscard]] virtual std::string CreateKey(const std::string& key) = 0;
  // Sets the value, or removes it where `value` does not exist; the key exists.
  [[nodiscard]] virtual std::string Write(const std::string& key, const std::string& name,
                                          const RegistryValue& value) = 0;
  // Removes `key`, which is empty.
  [[nodiscard]] virtual std::string DeleteKey(const std::string& key) = 0;
  // The root's name in messages: HKEY_CURRENT_USER\Software\Classes.
  virtual std::string RootName() const = 0;
  // Takes the root's lock, so that one run at a time reads and writes the records in it:
  // another run's lock is waited for a bounded time. Returns "" once it is held (until
  // Release), or why it is not, naming the lock.
  [[nodiscard]] virtual std::string Hold() = 0;
  virtual void Release() = 0;
};

// The name of the lock Hold takes for the user's classes (named by the user's SID) or
// with `allUsers` the machine's: Global\opener-template.classes.S-1-5-21-... or .machine.
std::string ClassesLockName(bool allUsers);

// The user's classes, or with `allUsers` the machine's; null where there is no registry.
std::unique_ptr<Registry> OpenClasses(bool allUsers);
