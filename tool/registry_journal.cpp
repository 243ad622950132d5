#include "registry_journal.h"

std::string RegistryJournal::CreateKeys(const std::string& key, std::vector<std::string>* created) {
  for (std::size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
    const std::string upper = key.substr(0, end);
    if (!registry_.KeyExists(upper)) {
      if (std::string error = registry_.CreateKey(upper); !error.empty()) return error;
      steps_.push_back({Step::kCreated, upper, "", {}});
      if (created) created->push_back(upper);
    }
    if (end == std::string::npos) return "";
  }
}

std::string RegistryJournal::Write(const std::string& key, const std::string& name, const RegistryValue& value) {
  const RegistryValue before = registry_.Read(key, name);
  if (before == value) return "";
  if (std::string error = registry_.Write(key, name, value); !error.empty()) return error;
  steps_.push_back({Step::kWrote, key, name, before});
  return "";
}

std::string RegistryJournal::DeleteKey(const std::string& key) {
  if (std::string error = registry_.DeleteKey(key); !error.empty()) return error;
  steps_.push_back({Step::kDeleted, key, "", {}});
  return "";
}

std::string RegistryJournal::DeleteTree(const std::string& key) {
  for (const std::string& sub : registry_.SubKeys(key))
    if (std::string error = DeleteTree(key + "\\" + sub); !error.empty()) return error;
  for (const std::string& name : registry_.ValueNames(key))
    if (std::string error = Write(key, name, RegistryValue{}); !error.empty()) return error;
  return DeleteKey(key);
}

std::vector<std::string> RegistryJournal::Undo() {
  std::vector<std::string> failures;
  for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
    std::string error;
    if (step->kind == Step::kCreated) error = registry_.DeleteKey(step->key);
    if (step->kind == Step::kWrote) error = registry_.Write(step->key, step->name, step->before);
    if (step->kind == Step::kDeleted) error = registry_.CreateKey(step->key);
    if (!error.empty()) failures.push_back(error);
  }
  steps_.clear();
  return failures;
}
