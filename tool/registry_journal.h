// Writes to a registry that can be taken back: every step is remembered with what was
// there before, so that a run that fails midway leaves the registry as it found it.
#pragma once

#include <string>
#include <vector>

#include "registry.h"

class RegistryJournal {
 public:
  explicit RegistryJournal(Registry& registry) : registry_(registry) {}
  RegistryJournal(const RegistryJournal&) = delete;
  RegistryJournal& operator=(const RegistryJournal&) = delete;

  const Registry& registry() const { return registry_; }

  // Each returns "" or what failed, naming the key; a step that failed changed nothing.
  // Creates `key` and those above it that are missing, adding each to `created` (if any).
  [[nodiscard]] std::string CreateKeys(const std::string& key, std::vector<std::string>* created);
  // Sets the value (or removes it, where `value` does not exist); nothing where it is so already.
  [[nodiscard]] std::string Write(const std::string& key, const std::string& name, const RegistryValue& value);
  // Removes `key`, which is empty.
  [[nodiscard]] std::string DeleteKey(const std::string& key);
  // Removes `key` and everything under it, value by value, so that it can be taken back.
  [[nodiscard]] std::string DeleteTree(const std::string& key);

  // Takes back every step, the last first. Returns what could not be given back, a line
  // each (the registry says why); none when everything is as it was.
  [[nodiscard]] std::vector<std::string> Undo();

 private:
  struct Step {
    enum Kind { kCreated, kWrote, kDeleted } kind;
    std::string key, name;
    RegistryValue before;
  };
  Registry& registry_;
  std::vector<Step> steps_;
};
