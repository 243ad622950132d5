// register and unregister as decisions over a registry (registry.h). Rules:
// - every value register writes outside its own class is recorded with what was there
//   before (absent, or its type and bytes) and what it wrote, and every key it created,
//   under CLASS\OpenerRecord, where unregister finds them from the launcher's path alone;
//   registering again changes nothing, and keeps the first record of each value;
// - unregister plays its record backwards: a value that is still what it wrote gets its
//   former self back; one that someone changed since stays (and is said); a key it
//   created goes once it is empty;
// - several launchers on one value chain: a launcher that wrote over ours gets our former
//   value as its own former value, and a value we hold that another launcher still wants
//   goes to that launcher, so that each type opens with a registered launcher or its own
//   former program, and is back byte for byte once all are gone, in any order;
// - a key we created that another launcher wrote under is handed to that launcher;
// - every write goes through a journal: a failure midway takes back the whole run.
#include "file_types.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "path_fold.h"
#include "program_search.h"
#include "template_text.h"

namespace {

// Whether `key` is `upper` or a key under it.
bool IsUnder(std::string_view key, std::string_view upper) {
  return SameRegistryName(key.substr(0, upper.size()), upper) &&
         (key.size() == upper.size() || key[upper.size()] == '\\');
}

std::size_t Depth(const std::string& key) { return static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\')); }

// One change of register's, as recorded.
struct Change {
  bool createdKey = false;  // register created `key`; else it wrote the value `name`
  std::string key, name;
  RegistryValue before, after;
};

// Change records as REG_BINARY bytes: a version byte, then the fields, each string as a
// 32-bit little-endian length and its bytes, each value as exists, type, data.
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

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool Get(std::uint32_t& n) {
    if (bytes_.size() - at_ < 4) return false;
    n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_++])) << (8 * i);
    return true;
  }
  bool Get(std::string& text) {
    std::uint32_t n = 0;
    if (!Get(n) || bytes_.size() - at_ < n) return false;
    text = std::string(bytes_.substr(at_, n));
    at_ += n;
    return true;
  }
  bool Get(bool& flag) {
    if (at_ >= bytes_.size()) return false;
    flag = bytes_[at_++] != 0;
    return true;
  }
  bool Get(RegistryValue& value) { return Get(value.exists) && Get(value.type) && Get(value.data); }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

constexpr char kRecordVersion = 1;
constexpr std::uint32_t kRegBinary = 3;

RegistryValue Encode(const Change& change) {
  std::string bytes(1, kRecordVersion);
  bytes += static_cast<char>(change.createdKey);
  Put(bytes, change.key);
  Put(bytes, change.name);
  Put(bytes, change.before);
  Put(bytes, change.after);
  return {true, kRegBinary, bytes};
}

bool Decode(const RegistryValue& value, Change& change) {
  if (!value.exists || value.type != kRegBinary || value.data.empty() || value.data[0] != kRecordVersion) return false;
  Reader reader(std::string_view(value.data).substr(1));
  return reader.Get(change.createdKey) && reader.Get(change.key) && reader.Get(change.name) &&
         reader.Get(change.before) && reader.Get(change.after) && reader.AtEnd();
}

// A launcher's record: its class, its path, and its changes in the order made, each with
// the name of the value that holds it.
struct Record {
  std::string progId;
  std::string launcher;
  std::vector<std::pair<std::string, Change>> changes;
  bool dirty = false;  // changed here, to be written back
  std::string sendTo;  // the Send To shortcut register made, or ""

  Change* Find(const std::string& key, const std::string& name, bool createdKey) {
    for (auto& [slot, change] : changes)
      if (change.createdKey == createdKey && SameRegistryName(change.key, key) &&
          (createdKey || SameRegistryName(change.name, name)))
        return &change;
    return nullptr;
  }
  void Add(Change change) {
    std::uint32_t next = 0;
    for (const auto& entry : changes) next = std::max(next, static_cast<std::uint32_t>(std::stoul(entry.first)) + 1);
    char slot[16];
    std::snprintf(slot, sizeof slot, "%08u", static_cast<unsigned>(next));
    changes.emplace_back(slot, std::move(change));
    dirty = true;
  }
};

const std::string kRecordKey = "OpenerRecord";
const std::string kLauncherValue = "Launcher";
const std::string kSendToValue = "SendTo";

std::string RecordKeyOf(const std::string& progId) { return progId + "\\" + kRecordKey; }

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldedPathCharacter(a[i]) != FoldedPathCharacter(b[i])) return false;
  return true;
}

// Every launcher's record in `classes`: the classes named opener.* that hold one.
std::vector<Record> LoadRecords(const Registry& classes) {
  std::vector<Record> records;
  for (const std::string& key : classes.SubKeys("")) {
    if (!SameRegistryName(key.substr(0, 7), "opener.") || !classes.KeyExists(RecordKeyOf(key))) continue;
    Record record{key,
                  TextOfValue(classes.Read(RecordKeyOf(key), kLauncherValue)),
                  {},
                  false,
                  TextOfValue(classes.Read(RecordKeyOf(key), kSendToValue))};
    std::vector<std::string> slots = classes.ValueNames(RecordKeyOf(key));
    std::sort(slots.begin(), slots.end());
    for (const std::string& slot : slots) {
      Change change;
      if (slot.size() == 8 && slot.find_first_not_of("0123456789") == std::string::npos &&
          Decode(classes.Read(RecordKeyOf(key), slot), change))
        record.changes.emplace_back(slot, change);
    }
    records.push_back(std::move(record));
  }
  return records;
}

// The registry with every change remembered, so that Undo puts back what was there.
class Journal {
 public:
  explicit Journal(Registry& classes) : classes_(classes) {}
  Registry& classes() { return classes_; }

  // Creates `key` and those above it that are missing, adding each to `created`.
  std::string CreateKeys(const std::string& key, std::vector<std::string>* created) {
    for (std::size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
      const std::string upper = key.substr(0, end);
      if (!classes_.KeyExists(upper)) {
        if (std::string error = classes_.CreateKey(upper); !error.empty()) return error;
        steps_.push_back({Step::kCreated, upper, "", {}});
        if (created) created->push_back(upper);
      }
      if (end == std::string::npos) return "";
    }
  }
  std::string Write(const std::string& key, const std::string& name, const RegistryValue& value) {
    const RegistryValue before = classes_.Read(key, name);
    if (before == value) return "";
    if (std::string error = classes_.Write(key, name, value); !error.empty()) return error;
    steps_.push_back({Step::kWrote, key, name, before});
    return "";
  }
  std::string DeleteKey(const std::string& key) {
    if (std::string error = classes_.DeleteKey(key); !error.empty()) return error;
    steps_.push_back({Step::kDeleted, key, "", {}});
    return "";
  }
  // Removes `key` and everything under it, value by value, so that it can be undone.
  std::string DeleteTree(const std::string& key) {
    for (const std::string& sub : classes_.SubKeys(key))
      if (std::string error = DeleteTree(key + "\\" + sub); !error.empty()) return error;
    for (const std::string& name : classes_.ValueNames(key))
      if (std::string error = Write(key, name, RegistryValue{}); !error.empty()) return error;
    return DeleteKey(key);
  }
  void Undo() {
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
      if (step->kind == Step::kCreated) classes_.DeleteKey(step->key);
      if (step->kind == Step::kWrote) classes_.Write(step->key, step->name, step->before);
      if (step->kind == Step::kDeleted) classes_.CreateKey(step->key);
    }
    steps_.clear();
  }

 private:
  struct Step {
    enum Kind { kCreated, kWrote, kDeleted } kind;
    std::string key, name;
    RegistryValue before;
  };
  Registry& classes_;
  std::vector<Step> steps_;
};

// Writes `record` back: each change in its value, the values of changes gone removed.
std::string SaveRecord(Journal& journal, const Record& record) {
  const Registry& classes = journal.classes();
  const std::string key = RecordKeyOf(record.progId);
  for (const std::string& slot : classes.ValueNames(key)) {
    if (SameRegistryName(slot, kLauncherValue) || SameRegistryName(slot, kSendToValue)) continue;
    const bool kept = std::any_of(record.changes.begin(), record.changes.end(),
                                  [&](const auto& entry) { return entry.first == slot; });
    if (std::string error = kept ? "" : journal.Write(key, slot, RegistryValue{}); !error.empty()) return error;
  }
  for (const auto& [slot, change] : record.changes)
    if (std::string error = journal.Write(key, slot, Encode(change)); !error.empty()) return error;
  return journal.Write(key, kSendToValue, record.sendTo.empty() ? RegistryValue{} : StringValue(record.sendTo));
}

RegistryOutcome Refused(const std::string& error) {
  RegistryOutcome outcome;
  outcome.error = error + "; nothing was changed";
  return outcome;
}

RegistryOutcome Failed(Journal& journal, const std::string& error) {
  journal.Undo();
  return Refused(error);
}

std::string Describe(const Registry& classes, const std::string& key, const std::string& name) {
  return classes.RootName() + "\\" + key + (name.empty() ? " (default)" : " " + name);
}

// The value name that a type's changes are told by: the type key's own, or its entry
// under an Applications key's SupportedTypes.
bool BelongsToType(const Change& change, const std::string& type) {
  return IsUnder(change.key, type) ||
         (change.key.size() > 15 && SameRegistryName(change.key.substr(change.key.size() - 15), "\\SupportedTypes") &&
          SameRegistryName(change.name, type));
}

// The file types a record holds: the keys whose default it wrote.
std::vector<std::string> TypesOf(const Record& record) {
  std::vector<std::string> types;
  for (const auto& entry : record.changes)
    if (!entry.second.createdKey && entry.second.name.empty() && !entry.second.key.empty() &&
        entry.second.key[0] == '.' && entry.second.key.find('\\') == std::string::npos)
      types.push_back(entry.second.key);
  return types;
}

// The "Open with" entry Windows keys by the launcher's file name alone.
std::string AppKeyOf(const std::string& launcher) { return "Applications\\" + FileNameOf(launcher); }

// The keys of the menus' entries of a launcher's class.
std::string MenuKey(const std::string& progId) { return "*\\shell\\" + progId; }
std::string FolderKey(const std::string& progId) { return "Directory\\shell\\" + progId; }
std::string BackgroundKey(const std::string& progId) { return "Directory\\Background\\shell\\" + progId; }

bool IsMenuChange(const Change& change, const std::string& progId) { return IsUnder(change.key, MenuKey(progId)); }
bool IsFolderChange(const Change& change, const std::string& progId) {
  return IsUnder(change.key, FolderKey(progId)) || IsUnder(change.key, BackgroundKey(progId));
}

// The places a record holds.
Places PlacesOf(const Record& record) {
  Places places;
  for (const auto& entry : record.changes) {
    places.menu = places.menu || IsMenuChange(entry.second, record.progId);
    places.folders = places.folders || IsFolderChange(entry.second, record.progId);
  }
  places.sendTo = !record.sendTo.empty();
  return places;
}

// A file name made of `name`: without the characters no file name holds.
std::string FileNameMadeOf(const std::string& name) {
  std::string file;
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x20 && std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos)
      file += c;
  return file.empty() ? "opener" : file;
}

Record* FindRecord(std::vector<Record>& records, const std::string& progId) {
  for (Record& record : records)
    if (SameRegistryName(record.progId, progId)) return &record;
  return nullptr;
}

}  // namespace

//   type       error
//   .txt       none
//   txt        not a dot first
//   .a b .a\b  a blank, a \ (or a control character, / : * ? " < > |)
//   .EXE       Windows starts programs through it (so .com .bat .cmd .pif .scr .lnk .msi,
//              and every type in PATHEXT)
std::string FileTypeError(const std::string& type, const std::string& pathext) {
  const std::size_t characters = Utf8Characters(type);
  if (type.empty() || type[0] != '.' || characters < 2 || characters > 31)
    return "a file type is a dot and 1 to 30 characters, such as .txt";
  for (char c : std::string_view(type).substr(1)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || std::string_view(" \\/:*?\"<>|").find(c) != std::string_view::npos)
      return "a file type holds no blank, control character or \\ / : * ? \" < > |";
  }
  const std::string list = ".exe;.com;.bat;.cmd;.pif;.scr;.lnk;.msi;" + AsciiLower(pathext) + ";";
  const std::string wanted = AsciiLower(type);
  for (std::size_t start = 0, end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
    if (list.compare(start, end - start, wanted) == 0)
      return "Windows starts programs through " + type +
             " files: a launcher in their place would break every "
             "program start";
  return "";
}

std::string LauncherPathError(const std::string& launcher) {
  if (launcher.find('%') == std::string::npos) return "";
  return "the launcher's path holds a %, and the shell puts its own text in place of %1 to %9, %*, %L, %V and the "
         "like in a file type's command, so Windows would start something else; move the launcher to a folder "
         "whose name holds no %";
}

//   launcher                      class
//   C:\Tools\opener.exe           opener.opener.1a2b3c4d
//   C:\Ed\My Ed é-wait.exe        opener.myedwait.5e6f7a8b
//   C:\Tools\é.exe                opener.launcher.9c0d1e2f
std::string ClassOf(const std::string& launcher) {
  std::string letters;
  for (char c : AsciiLower(WithoutExe(FileNameOf(launcher))))
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) letters += c;
  letters = letters.substr(0, 20);
  std::uint32_t hash = 2166136261u;  // FNV-1a of the folded path
  for (char c : launcher) hash = (hash ^ static_cast<unsigned char>(FoldedPathCharacter(c))) * 16777619u;
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash));
  return "opener." + (letters.empty() ? std::string("launcher") : letters) + "." + hex;
}

RegistryOutcome RegisterLauncher(Registry& classes, Shortcuts& shortcuts, const Registration& registration) {
  const std::string& launcher = registration.launcher;
  if (std::string error = LauncherPathError(launcher); !error.empty()) return Refused(error);
  const std::string progId = ClassOf(launcher);
  const std::string appKey = AppKeyOf(launcher);
  std::vector<Record> records = LoadRecords(classes);
  Record* mine = FindRecord(records, progId);
  if ((mine && !SamePath(mine->launcher, launcher)) || (!mine && classes.KeyExists(progId)))
    return Refused("the class " + progId + " is there already, and is not this launcher's");
  for (const Record& other : records)
    for (const auto& entry : other.changes)
      if (&other != mine && !registration.types.empty() && IsUnder(entry.second.key, appKey))
        return Refused("another launcher of the same file name is registered, " + other.launcher +
                       ", and Windows knows a program in \"Open with\" by its file name alone: give this copy a file "
                       "name of its own, or unregister the other first");
  if (!mine) {
    records.push_back({progId, launcher, {}, true, ""});
    mine = &records.back();
  }

  // Send To: a shortcut named after the editor, or after the launcher too where another
  // program has that name.
  std::string shortcut;
  if (registration.places.sendTo) {
    const std::string folder = shortcuts.Folder();
    if (folder.empty()) return Refused("this Windows has no Send To folder");
    const std::string name = FileNameMadeOf(registration.editorName);
    for (const std::string& candidate :
         {mine->sendTo, folder + name + ".lnk", folder + name + " (" + WithoutExe(FileNameOf(launcher)) + ").lnk"}) {
      const std::string target = candidate.empty() ? "" : shortcuts.TargetOf(candidate);
      if (!candidate.empty() && (target.empty() || SamePath(target, launcher))) {
        shortcut = candidate;
        break;
      }
    }
    if (shortcut.empty()) return Refused("the Send To folder has shortcuts of the editor's name to other programs");
  }

  struct Write {
    std::string key, name;
    RegistryValue value;
  };
  const RegistryValue command = StringValue("\"" + launcher + "\" \"%1\"");
  const RegistryValue icon =
      StringValue("\"" + (registration.editor.empty() ? launcher : registration.editor) + "\",0");
  std::vector<Write> own = {{progId, "", StringValue(registration.editorName + " file (opener)")},
                            {progId + "\\shell\\open\\command", "", command},
                            {RecordKeyOf(progId), kLauncherValue, StringValue(launcher)}};
  if (!registration.editor.empty()) own.push_back({progId + "\\DefaultIcon", "", icon});
  std::vector<Write> recorded;
  if (!registration.types.empty())
    recorded = {{appKey, "FriendlyAppName", StringValue(registration.editorName)},
                {appKey + "\\shell\\open\\command", "", command}};
  for (const std::string& type : registration.types) {
    recorded.push_back({type, "", StringValue(progId)});
    recorded.push_back({type + "\\OpenWithProgids", progId, EmptyNoneValue()});
    recorded.push_back({appKey + "\\SupportedTypes", type, StringValue("")});
  }
  auto entry = [&](const std::string& key, const std::string& verb, const char* parameter) {
    recorded.push_back({key, "MUIVerb", StringValue(verb + " with " + registration.editorName)});
    recorded.push_back({key, "Icon", icon});
    recorded.push_back({key + "\\command", "", StringValue("\"" + launcher + "\" \"" + parameter + "\"")});
  };
  if (registration.places.menu) {
    entry(MenuKey(progId), "Edit", "%1");
    recorded.push_back({MenuKey(progId), "MultiSelectModel", StringValue("Player")});
  }
  if (registration.places.folders) {
    entry(FolderKey(progId), "Open", "%1");
    entry(BackgroundKey(progId), "Open", "%V");
  }

  Journal journal(classes);
  for (const Write& write : own) {
    if (std::string error = journal.CreateKeys(write.key, nullptr); !error.empty()) return Failed(journal, error);
    if (std::string error = journal.Write(write.key, write.name, write.value); !error.empty())
      return Failed(journal, error);
  }
  for (const Write& write : recorded) {
    std::vector<std::string> created;
    if (std::string error = journal.CreateKeys(write.key, &created); !error.empty()) return Failed(journal, error);
    for (const std::string& key : created) mine->Add({true, key, "", {}, {}});
    if (Change* change = mine->Find(write.key, write.name, false)) {
      mine->dirty = mine->dirty || change->after != write.value;
      change->after = write.value;
    } else {
      mine->Add({false, write.key, write.name, classes.Read(write.key, write.name), write.value});
    }
    if (std::string error = journal.Write(write.key, write.name, write.value); !error.empty())
      return Failed(journal, error);
  }
  if (!shortcut.empty()) {
    mine->dirty = mine->dirty || mine->sendTo != shortcut;
    mine->sendTo = shortcut;
  }
  if (std::string error = mine->dirty ? SaveRecord(journal, *mine) : ""; !error.empty()) return Failed(journal, error);
  // The shortcut last: a failure there takes the registry back too.
  if (!shortcut.empty() && !SamePath(shortcuts.TargetOf(shortcut), launcher))
    if (std::string error = shortcuts.Make(shortcut, launcher, registration.editor); !error.empty())
      return Failed(journal, error);
  return {};
}

bool RegisteredFor(const Registry& classes, const std::string& launcher, std::vector<std::string>& types,
                   Places& places) {
  std::vector<Record> records = LoadRecords(classes);
  const Record* record = FindRecord(records, ClassOf(launcher));
  if (!record || !SamePath(record->launcher, launcher)) return false;
  types = TypesOf(*record);
  places = PlacesOf(*record);
  return true;
}

std::string InWords(const std::vector<std::string>& types, const Places& places) {
  std::string words;
  for (const std::string& type : types) words += (words.empty() ? "" : " ") + type;
  for (const PlaceName& place : kPlaceNames)
    if (places.*place.flag) words += (words.empty() ? "" : ", ") + std::string(place.words);
  return words;
}

std::string RegisteredWhere(const Registry& classes, const std::string& launcher) {
  std::vector<std::string> types;
  Places places;
  if (!RegisteredFor(classes, launcher, types, places)) return "";
  const std::string where = InWords(types, places);
  return where.empty() ? "its own class alone" : where;
}

RegistryOutcome UnregisterLauncher(Registry& classes, Shortcuts& shortcuts, const std::string& launcher,
                                   const Unregistration& what) {
  const std::vector<std::string>& types = what.types;
  RegistryOutcome outcome;
  std::vector<Record> records = LoadRecords(classes);
  Record* mine = FindRecord(records, ClassOf(launcher));
  if (!mine || !SamePath(mine->launcher, launcher)) {
    outcome.nothingRegistered = true;
    return outcome;
  }

  // What goes: the changes of the named types and places; every change once none is left.
  const std::string appKey = AppKeyOf(mine->launcher);
  const std::vector<std::string> held = TypesOf(*mine);
  const Places places = PlacesOf(*mine);
  const bool named = !types.empty() || what.places.Any();
  for (const std::string& type : types)
    if (!HoldsRegistryName(held, type))
      outcome.said.push_back(type + ": not registered for this launcher, left as it is");
  for (const PlaceName& place : kPlaceNames)
    outcome.places.*place.flag = places.*place.flag && (!named || what.places.*place.flag);
  for (const std::string& type : held)
    if (!named || HoldsRegistryName(types, type)) outcome.types.push_back(type);
  const bool all = outcome.types.size() == held.size() && outcome.places.menu == places.menu &&
                   outcome.places.folders == places.folders && outcome.places.sendTo == places.sendTo;
  std::vector<bool> going(mine->changes.size(), all);
  for (std::size_t i = 0; i < going.size() && !all; ++i) {
    const Change& change = mine->changes[i].second;
    if (change.createdKey) continue;
    for (const std::string& type : outcome.types) going[i] = going[i] || BelongsToType(change, type);
    // "Open with" goes with the last type.
    going[i] = going[i] || (outcome.types.size() == held.size() && IsUnder(change.key, appKey)) ||
               (outcome.places.menu && IsMenuChange(change, mine->progId)) ||
               (outcome.places.folders && IsFolderChange(change, mine->progId));
  }
  // A key it created goes with the last of its changes under it.
  for (std::size_t i = 0; i < going.size() && !all; ++i) {
    if (!mine->changes[i].second.createdKey) continue;
    bool kept = false, any = false;
    for (std::size_t k = 0; k < going.size(); ++k) {
      const Change& under = mine->changes[k].second;
      if (under.createdKey || !IsUnder(under.key, mine->changes[i].second.key)) continue;
      any = true;
      kept = kept || !going[k];
    }
    going[i] = any && !kept;
  }

  Journal journal(classes);
  // The values, the last change first.
  for (std::size_t i = going.size(); i-- > 0;) {
    const Change& change = mine->changes[i].second;
    if (!going[i] || change.createdKey) continue;
    const RegistryValue now = classes.Read(change.key, change.name);
    RegistryValue target = change.before;
    bool othersHoldIt = false;
    for (Record& other : records) {
      if (&other == mine) continue;
      for (auto& [slot, theirs] : other.changes) {
        if (theirs.createdKey || !SameRegistryName(theirs.key, change.key) ||
            !SameRegistryName(theirs.name, change.name))
          continue;
        othersHoldIt = othersHoldIt || now == theirs.after;
        // Written over ours: what was there before us was there before them.
        if (theirs.before == change.after) {
          theirs.before = change.before;
          other.dirty = true;
        }
        // Still wanted by a launcher that is registered: it gets the value.
        if (theirs.before == change.before) target = theirs.after;
      }
    }
    if (now == change.after) {
      if (std::string error = journal.Write(change.key, change.name, target); !error.empty())
        return Failed(journal, error);
    } else if (!othersHoldIt) {
      outcome.said.push_back("left " + Describe(classes, change.key, change.name) +
                             " as it is: it was changed after register wrote it");
    }
  }
  // The keys it created, the deepest first: removed where empty, else handed to a
  // registered launcher that wrote under them.
  std::vector<std::string> createdKeys;
  for (std::size_t i = 0; i < going.size(); ++i)
    if (going[i] && mine->changes[i].second.createdKey) createdKeys.push_back(mine->changes[i].second.key);
  std::stable_sort(createdKeys.begin(), createdKeys.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  for (const std::string& key : createdKeys) {
    if (!classes.KeyExists(key)) continue;
    if (classes.KeyIsEmpty(key)) {
      if (std::string error = journal.DeleteKey(key); !error.empty()) return Failed(journal, error);
      continue;
    }
    for (Record& other : records) {
      const bool wroteUnder = std::any_of(other.changes.begin(), other.changes.end(),
                                          [&](const auto& entry) { return IsUnder(entry.second.key, key); });
      if (&other == mine || !wroteUnder) continue;
      if (!other.Find(key, "", true)) other.Add({true, key, "", {}, {}});
      break;
    }
  }

  // The record: the changes that went dropped; the class whole once none is left.
  std::vector<std::pair<std::string, Change>> kept;
  for (std::size_t i = 0; i < going.size(); ++i)
    if (!going[i]) kept.push_back(mine->changes[i]);
  mine->changes = kept;
  const std::string shortcut = outcome.places.sendTo ? mine->sendTo : "";
  if (outcome.places.sendTo) mine->sendTo.clear();
  std::string error = all ? journal.DeleteTree(mine->progId) : SaveRecord(journal, *mine);
  for (const Record& other : records)
    if (error.empty() && &other != mine && other.dirty) error = SaveRecord(journal, other);
  if (!error.empty()) return Failed(journal, error);
  // The shortcut last, and only while it is still the one register made.
  if (!shortcut.empty() && SamePath(shortcuts.TargetOf(shortcut), launcher)) {
    if (std::string failed = shortcuts.Remove(shortcut); !failed.empty()) return Failed(journal, failed);
  } else if (!shortcut.empty()) {
    outcome.said.push_back("left " + shortcut + " as it is: it no longer starts the launcher");
  }
  return outcome;
}
