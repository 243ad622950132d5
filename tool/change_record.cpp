#include "change_record.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

constexpr char kRecordVersion = 1;
constexpr std::uint32_t kRegBinary = 3;

const std::string kRecordKey = "OpenerRecord";
const std::string kLauncherValue = "Launcher";
const std::string kSendToValue = "SendTo";
const std::string kLaterLayout = "it was written by a later release of opener-template (layout ";

void Put(std::string& out, std::uint32_t n) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(n >> (8 * i) & 0xff);
}
void Put(std::string& out, const std::string& text) {
  Put(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}
void Put(std::string& out, const RegistryValue& value) {
  out += static_cast<char>(value.exists);
  Put(out, value.type);
  Put(out, value.data);
}

// Reads the fields Put wrote, each false where the bytes end first.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] bool Get(std::uint32_t& n) {
    if (bytes_.size() - at_ < 4) return false;
    n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_++])) << (8 * i);
    return true;
  }
  [[nodiscard]] bool Get(std::string& text) {
    std::uint32_t n = 0;
    if (!Get(n) || bytes_.size() - at_ < n) return false;
    text = std::string(bytes_.substr(at_, n));
    at_ += n;
    return true;
  }
  [[nodiscard]] bool Get(bool& flag) {
    if (at_ >= bytes_.size()) return false;
    flag = bytes_[at_++] != 0;
    return true;
  }
  [[nodiscard]] bool Get(RegistryValue& value) { return Get(value.exists) && Get(value.type) && Get(value.data); }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

bool IsSlotName(const std::string& name) {
  return name.size() == 8 && name.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

RegistryValue EncodeChange(const Change& change) {
  std::string bytes(1, kRecordVersion);
  bytes += static_cast<char>(change.createdKey);
  Put(bytes, change.key);
  Put(bytes, change.name);
  Put(bytes, change.before);
  Put(bytes, change.after);
  return {true, kRegBinary, bytes};
}

std::string DecodeChange(const RegistryValue& value, Change& change) {
  if (!value.exists || value.type != kRegBinary || value.data.empty()) return "it is no change of opener's";
  if (static_cast<unsigned char>(value.data[0]) > kRecordVersion)
    return kLaterLayout + std::to_string(static_cast<unsigned char>(value.data[0])) + ")";
  if (value.data[0] != kRecordVersion) return "it is no change of opener's";
  Reader reader(std::string_view(value.data).substr(1));
  if (!reader.Get(change.createdKey) || !reader.Get(change.key) || !reader.Get(change.name) ||
      !reader.Get(change.before) || !reader.Get(change.after))
    return "it is cut short, or a length in it runs past its end";
  return reader.AtEnd() ? "" : "it runs on past its last field";
}

Change* ChangeRecord::Find(const std::string& key, const std::string& name, bool createdKey) {
  for (auto& [slot, change] : changes)
    if (change.createdKey == createdKey && SameRegistryName(change.key, key) &&
        (createdKey || SameRegistryName(change.name, name)))
      return &change;
  return nullptr;
}

void ChangeRecord::Add(Change change) {
  std::uint32_t next = 0;
  for (const auto& entry : changes) next = std::max(next, static_cast<std::uint32_t>(std::stoul(entry.first)) + 1);
  char slot[16];
  std::snprintf(slot, sizeof slot, "%08u", static_cast<unsigned>(next));
  changes.emplace_back(slot, std::move(change));
  dirty = true;
}

std::string RecordKeyOf(const std::string& progId) { return progId + "\\" + kRecordKey; }

std::vector<ChangeRecord> LoadRecords(const Registry& classes) {
  std::vector<ChangeRecord> records;
  for (const std::string& progId : classes.SubKeys("")) {
    const std::string key = RecordKeyOf(progId);
    if (!SameRegistryName(progId.substr(0, 7), "opener.") || !classes.KeyExists(key)) continue;
    ChangeRecord record;
    record.progId = progId;
    record.launcher = TextOfValue(classes.Read(key, kLauncherValue));
    record.sendTo = TextOfValue(classes.Read(key, kSendToValue));
    std::vector<std::string> slots = classes.ValueNames(key);
    std::sort(slots.begin(), slots.end());
    const std::string where = classes.RootName() + "\\" + key;
    auto damaged = [&](const std::string& why, const std::string& removal) {
      if (!record.damage.empty()) return;
      record.damage = why;
      record.way = why.find(kLaterLayout) != std::string::npos
                       ? "use the release that wrote it"
                       : "to leave what it changed as it is and go on, remove it: reg delete " + removal + " /f";
    };
    for (const std::string& slot : slots) {
      Change change;
      if (SameRegistryName(slot, kLauncherValue) || SameRegistryName(slot, kSendToValue)) continue;
      const std::string removal = "\"" + where + "\" /v \"" + slot + "\"";
      if (!IsSlotName(slot)) {
        damaged("it holds a value this release does not know, \"" + slot + "\"", removal);
      } else if (std::string why = DecodeChange(classes.Read(key, slot), change); !why.empty()) {
        damaged("its row " + slot + " cannot be read: " + why, removal);
      } else {
        record.changes.emplace_back(slot, change);
      }
    }
    for (const std::string& sub : classes.SubKeys(key))
      damaged("it holds a key this release does not know, \"" + sub + "\"", "\"" + where + "\\" + sub + "\"");
    records.push_back(std::move(record));
  }
  return records;
}

ChangeRecord* FindRecord(std::vector<ChangeRecord>& records, const std::string& progId) {
  for (ChangeRecord& record : records)
    if (SameRegistryName(record.progId, progId)) return &record;
  return nullptr;
}

std::string SaveRecord(RegistryJournal& journal, const ChangeRecord& record) {
  const std::string key = RecordKeyOf(record.progId);
  if (std::string error = journal.CreateKeys(key, nullptr); !error.empty()) return error;
  if (std::string error = journal.Write(key, kLauncherValue, StringValue(record.launcher)); !error.empty())
    return error;
  for (const std::string& slot : journal.registry().ValueNames(key)) {
    if (!IsSlotName(slot)) continue;
    const bool kept = std::any_of(record.changes.begin(), record.changes.end(),
                                  [&](const auto& entry) { return entry.first == slot; });
    if (std::string error = kept ? "" : journal.Write(key, slot, RegistryValue{}); !error.empty()) return error;
  }
  for (const auto& [slot, change] : record.changes)
    if (std::string error = journal.Write(key, slot, EncodeChange(change)); !error.empty()) return error;
  return journal.Write(key, kSendToValue, record.sendTo.empty() ? RegistryValue{} : StringValue(record.sendTo));
}
