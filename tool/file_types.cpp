// register and unregister as decisions over a registry (registry.h), each a few named
// steps over the launchers' records (change_record.h) and a journal of its writes
// (registry_journal.h). Rules:
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
// - every write goes through the journal: a failure midway takes back the whole run, and
//   says what it could not take back;
// - one run at a time: each holds the root's lock from its first read to its last write;
// - the records are read whole and checked first: where one cannot be trusted (a later
//   release's layout, a row cut short, a row naming a place register never writes) the
//   run refuses, naming it, and changes nothing;
// - what the user set since register wrote it is the user's: registering again records it
//   as the value to give back, and says so; a Send To shortcut register did not make is
//   never adopted or removed.
#include "file_types.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "change_record.h"
#include "path_fold.h"
#include "paths.h"
#include "registry_journal.h"
#include "utf8.h"

namespace {

// Where register writes: the launcher's class, the "Open with" entry Windows keys by the
// launcher's file name alone, and the menus' entries, each named after the class.
std::string AppKeyOf(const std::string& launcher) { return "Applications\\" + FileNameOf(launcher); }
std::string MenuKey(const std::string& progId) { return "*\\shell\\" + progId; }
std::string FolderKey(const std::string& progId) { return "Directory\\shell\\" + progId; }
std::string BackgroundKey(const std::string& progId) { return "Directory\\Background\\shell\\" + progId; }

bool IsMenuChange(const Change& change, const std::string& progId) { return IsKeyUnder(change.key, MenuKey(progId)); }
bool IsFolderChange(const Change& change, const std::string& progId) {
  return IsKeyUnder(change.key, FolderKey(progId)) || IsKeyUnder(change.key, BackgroundKey(progId));
}

// Whether `change` is one of a type's: under the type's own key, or its entry under an
// Applications key's SupportedTypes.
bool BelongsToType(const Change& change, const std::string& type) {
  return IsKeyUnder(change.key, type) ||
         (change.key.size() > 15 && SameRegistryName(change.key.substr(change.key.size() - 15), "\\SupportedTypes") &&
          SameRegistryName(change.name, type));
}

// The file types a record holds: the keys whose default it wrote.
std::vector<std::string> TypesOf(const ChangeRecord& record) {
  std::vector<std::string> types;
  for (const auto& [slot, change] : record.changes)
    if (!change.createdKey && change.name.empty() && !change.key.empty() && change.key[0] == '.' &&
        change.key.find('\\') == std::string::npos)
      types.push_back(change.key);
  return types;
}

// The places a record holds.
Places PlacesOf(const ChangeRecord& record) {
  Places places;
  for (const auto& [slot, change] : record.changes) {
    places.menu = places.menu || IsMenuChange(change, record.progId);
    places.folders = places.folders || IsFolderChange(change, record.progId);
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

// The text of a menu entry, "Edit with EDITOR": a single & marks a menu's shortcut key, so
// the editor's own are doubled to be shown.
std::string MenuText(const std::string& verb, const std::string& editorName) {
  std::string text = verb + " with ";
  for (char c : editorName) text += c == '&' ? std::string("&&") : std::string(1, c);
  return text;
}

std::string ValueName(const std::string& key, const std::string& name) {
  return key + (name.empty() ? " (default)" : " " + name);
}
std::string Describe(const Registry& classes, const std::string& key, const std::string& name) {
  return classes.RootName() + "\\" + ValueName(key, name);
}

RegistryOutcome Refused(const std::string& error) {
  RegistryOutcome outcome;
  outcome.error = error + "; nothing was changed";
  return outcome;
}

// A failure midway: the journal takes the run back, and what it could not give back is said.
RegistryOutcome Failed(RegistryJournal& journal, const std::string& error) {
  const std::vector<std::string> left = journal.Undo();
  if (left.empty()) return Refused(error);
  RegistryOutcome outcome;
  outcome.error = error + "; what this run changed was taken back but for this: ";
  for (std::size_t i = 0; i < left.size(); ++i) outcome.error += (i ? "; " : "") + left[i];
  return outcome;
}

// The root's lock, held from a run's first read to its last write.
class RootLock {
 public:
  explicit RootLock(Registry& classes) : classes_(classes), error_(classes.Hold()) {}
  ~RootLock() {
    if (error_.empty()) classes_.Release();
  }
  RootLock(const RootLock&) = delete;
  RootLock& operator=(const RootLock&) = delete;
  const std::string& error() const { return error_; }

 private:
  Registry& classes_;
  std::string error_;
};

// A value that register writes.
struct Write {
  std::string key, name;
  RegistryValue value;
};

std::vector<Write> RecordedValues(const Registration& registration, const std::string& progId,
                                  const RegistryValue& icon);

// Why a row of `record` is no row register writes for its launcher, or "": a value that
// register writes for it (for a type it takes), or a key above one; the first such row.
std::string RowError(const ChangeRecord& record, std::string& slot) {
  Registration every{record.launcher, "", "", {}, Places{true, true, false}};
  for (const auto& [row, change] : record.changes) {
    if (every.launcher.empty() && IsKeyUnder(change.key, "Applications") && change.key.size() > 13)
      every.launcher = "\\" + change.key.substr(13, change.key.find('\\', 13) - 13);
    const std::string type =
        !change.key.empty() && change.key[0] == '.' ? change.key.substr(0, change.key.find('\\')) : change.name;
    if (!type.empty() && type[0] == '.' && FileTypeError(type, "").empty() && !HoldsRegistryName(every.types, type))
      every.types.push_back(type);
  }
  const std::vector<Write> writes = RecordedValues(every, record.progId, {});
  for (const auto& entry : record.changes) {
    const Change& change = entry.second;
    const bool written = std::any_of(writes.begin(), writes.end(), [&](const Write& write) {
      return change.createdKey ? IsKeyUnder(write.key, change.key)
                               : SameRegistryName(write.key, change.key) && SameRegistryName(write.name, change.name);
    });
    if (written) continue;
    slot = entry.first;
    return "names " + (change.createdKey ? "the key " + change.key : ValueName(change.key, change.name)) +
           ", where register never writes";
  }
  return "";
}

// Why no run may act on `records`, or "": the first that cannot be trusted, its row named,
// and what the user can do.
std::string Untrusted(const Registry& classes, std::vector<ChangeRecord>& records) {
  for (ChangeRecord& record : records) {
    std::string slot;
    if (std::string why = RowError(record, slot); record.damage.empty() && !why.empty()) {
      record.damage = "its row " + slot + " " + why;
      record.way = "to leave what it changed as it is and go on, remove it: reg delete \"" + classes.RootName() + "\\" +
                   RecordKeyOf(record.progId) + "\" /v \"" + slot + "\" /f";
    }
    if (!record.damage.empty())
      return "the record of " + (record.launcher.empty() ? record.progId : record.launcher) + " in " +
             classes.RootName() + "\\" + RecordKeyOf(record.progId) + " cannot be trusted: " + record.damage + "; " +
             record.way;
  }
  return "";
}

// The record of the launcher at `launcher` among `records`, or null: the one that names
// it (as Windows compares paths), else the one of its class whose Launcher value register
// never wrote (missing, or a path of another class), taken as its own and said. Refused
// where its class holds another launcher's record.
std::string FindMine(std::vector<ChangeRecord>& records, const std::string& launcher, ChangeRecord*& mine,
                     std::vector<std::string>& said) {
  const std::string progId = ClassOf(launcher);
  mine = FindRecord(records, progId);
  if (mine && SamePath(mine->launcher, launcher)) return "";
  for (ChangeRecord& record : records)
    if (SamePath(record.launcher, launcher)) {
      mine = &record;
      return "";
    }
  if (!mine) return "";
  if (!mine->launcher.empty() && ClassOf(mine->launcher) == progId) {
    const std::string other = mine->launcher;
    mine = nullptr;
    return "its class " + progId + " holds the record of " + other +
           ", another launcher whose path gives the same class: unregister that one first";
  }
  said.push_back("the record in " + progId + " named " +
                 (mine->launcher.empty() ? std::string("no launcher") : mine->launcher) +
                 "; its class is named after this launcher's path, so it was taken as this launcher's");
  mine->launcher = launcher;
  mine->dirty = true;
  return "";
}

// ---- register

// The record of the launcher among `records`, added where it has none yet; refused where
// a record cannot be trusted, its class is another's, or another launcher of its file
// name holds "Open with".
std::string OwnRecord(const Registry& classes, std::vector<ChangeRecord>& records, const Registration& registration,
                      ChangeRecord*& mine, std::vector<std::string>& said) {
  const std::string& launcher = registration.launcher;
  const std::string progId = ClassOf(launcher);
  if (std::string error = FindMine(records, launcher, mine, said); !error.empty()) return error;
  if (std::string error = Untrusted(classes, records); !error.empty()) return error;
  if (!mine && classes.KeyExists(progId))
    return "the class " + progId + " is there already, and is not this launcher's";
  for (const ChangeRecord& other : records)
    for (const auto& [slot, change] : other.changes)
      if (&other != mine && !registration.types.empty() && IsKeyUnder(change.key, AppKeyOf(launcher)))
        return "another launcher of the same file name is registered, " + other.launcher +
               ", and Windows knows a program in \"Open with\" by its file name alone: give this copy a file name of "
               "its own, or unregister the other first";
  if (!mine) {
    ChangeRecord fresh;
    fresh.progId = progId;
    fresh.launcher = launcher;
    fresh.dirty = true;
    records.push_back(fresh);
    mine = &records.back();
  }
  return "";
}

// The Send To shortcut, named after the editor, or after the launcher too where another
// program's shortcut has that name: `shortcut`, or none where a shortcut of the user's own
// starts the launcher already (said). Refused where the folder is not there, or both names
// are taken, naming them.
std::string ChooseShortcut(const Shortcuts& shortcuts, const Registration& registration, const ChangeRecord& mine,
                           std::string& shortcut, std::vector<std::string>& said) {
  const std::string folder = shortcuts.Folder();
  if (folder.empty()) return "Windows names no Send To folder for this user";
  if (!shortcuts.FolderExists())
    return "the Send To folder, " + folder + ", is not there: make it, or point Send To at a folder that is";
  const std::string name = FileNameMadeOf(registration.editorName);
  std::string inTheWay;
  for (const std::string& candidate :
       {folder + name + ".lnk", folder + name + " (" + WithoutExe(FileNameOf(registration.launcher)) + ").lnk"}) {
    const std::string target = shortcuts.TargetOf(candidate);
    if (target.empty() || SamePath(candidate, mine.sendTo)) {
      shortcut = candidate;
      return "";
    }
    if (SamePath(target, registration.launcher)) {
      shortcut.clear();
      said.push_back("Send To: your own shortcut " + candidate +
                     " starts the launcher already; it stays yours, and unregister leaves it");
      return "";
    }
    inTheWay +=
        (inTheWay.empty() ? "" : " and ") + candidate + (target == "?" ? " (no shortcut)" : " (to " + target + ")");
  }
  return "the Send To folder has " + inTheWay + ": rename or remove one of them";
}

// The values of the launcher's own class, removed whole with it.
std::vector<Write> OwnClassValues(const Registration& registration, const std::string& progId,
                                  const RegistryValue& icon) {
  std::vector<Write> own = {
      {progId, "", StringValue(registration.editorName + " file (opener)")},
      {progId + "\\shell\\open\\command", "", StringValue("\"" + registration.launcher + "\" \"%1\"")}};
  if (!registration.editor.empty()) own.push_back({progId + "\\DefaultIcon", "", icon});
  return own;
}

// The values outside its class, each recorded: "Open with", the types, the menus.
std::vector<Write> RecordedValues(const Registration& registration, const std::string& progId,
                                  const RegistryValue& icon) {
  const std::string& launcher = registration.launcher;
  const std::string appKey = AppKeyOf(launcher);
  const RegistryValue command = StringValue("\"" + launcher + "\" \"%1\"");
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
    recorded.push_back({key, "MUIVerb", StringValue(MenuText(verb, registration.editorName))});
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
  return recorded;
}

// The change of another launcher's among `records` (not `mine`) that wrote `value` there;
// null where none did.
const Change* WrittenByAnother(const std::vector<ChangeRecord>& records, const ChangeRecord& mine,
                               const std::string& key, const std::string& name, const RegistryValue& value) {
  for (const ChangeRecord& other : records)
    for (const auto& [slot, theirs] : other.changes)
      if (&other != &mine && !theirs.createdKey && SameRegistryName(theirs.key, key) &&
          SameRegistryName(theirs.name, name) && theirs.after == value)
        return &theirs;
  return nullptr;
}

// Whether the value `now` of `mine`'s `change` was written over it by other launchers, one
// over the other (their chain reaches down to what `mine` wrote).
bool WrittenOverMine(const std::vector<ChangeRecord>& records, const ChangeRecord& mine, const Change& change,
                     RegistryValue now) {
  for (std::size_t link = 0; link < records.size(); ++link) {
    const Change* theirs = WrittenByAnother(records, mine, change.key, change.name, now);
    if (!theirs) return false;
    if (theirs->before == change.after) return true;
    now = theirs->before;
  }
  return false;
}

// Writes `writes`; with `record` (one of `records`), each key created and each value's
// first state recorded. A value that is no longer what the record wrote, and not another
// launcher's written over it, is what is now under ours: the user's (said), or another
// launcher's that took it from someone else; it becomes the one to give back.
std::string WriteValues(RegistryJournal& journal, const std::vector<Write>& writes, ChangeRecord* record,
                        const std::vector<ChangeRecord>& records, std::vector<std::string>& said) {
  for (const Write& write : writes) {
    std::vector<std::string> created;
    if (std::string error = journal.CreateKeys(write.key, &created); !error.empty()) return error;
    if (record) {
      for (const std::string& key : created) record->Add({true, key, "", {}, {}});
      if (Change* change = record->Find(write.key, write.name, false)) {
        const RegistryValue now = journal.registry().Read(write.key, write.name);
        if (now != change->after && now != write.value && !WrittenOverMine(records, *record, *change, now)) {
          change->before = now;
          record->dirty = true;
          if (!WrittenByAnother(records, *record, write.key, write.name, now))
            said.push_back("took " + Describe(journal.registry(), write.key, write.name) +
                           " back from what it was set to since; unregister gives that back");
        }
        record->dirty = record->dirty || change->after != write.value;
        change->after = write.value;
      } else {
        record->Add({false, write.key, write.name, journal.registry().Read(write.key, write.name), write.value});
      }
    }
    if (std::string error = journal.Write(write.key, write.name, write.value); !error.empty()) return error;
  }
  return "";
}

// ---- unregister

// What goes, of what `mine` holds: the named types and places, all where none is named;
// a type named but not held is said.
RegistryOutcome WhatGoes(const ChangeRecord& mine, const Unregistration& what) {
  RegistryOutcome outcome;
  const std::vector<std::string> held = TypesOf(mine);
  const Places places = PlacesOf(mine);
  const bool named = !what.types.empty() || what.places.Any();
  for (const std::string& type : what.types)
    if (!HoldsRegistryName(held, type))
      outcome.said.push_back(type + ": not registered for this launcher, left as it is");
  for (const PlaceName& place : kPlaceNames) {
    outcome.places.*place.flag = places.*place.flag && (!named || what.places.*place.flag);
    if (what.places.*place.flag && !(places.*place.flag))
      outcome.said.push_back(std::string(place.words) + ": not registered for this launcher, left as it is");
  }
  for (const std::string& type : held)
    if (!named || HoldsRegistryName(what.types, type)) outcome.types.push_back(type);
  return outcome;
}

// Whether `going` takes everything `mine` holds.
bool TakesAll(const ChangeRecord& mine, const RegistryOutcome& going) {
  const Places places = PlacesOf(mine);
  return going.types.size() == TypesOf(mine).size() && going.places.menu == places.menu &&
         going.places.folders == places.folders && going.places.sendTo == places.sendTo;
}

// For each change of `mine`, whether it goes with the types and places `going` names: a
// type's values, "Open with" with the last type, a place's values, and a key it created
// with the last of its changes under it.
std::vector<bool> ChangesThatGo(const ChangeRecord& mine, const RegistryOutcome& going) {
  const std::size_t count = mine.changes.size();
  if (TakesAll(mine, going)) return std::vector<bool>(count, true);
  const bool lastType = going.types.size() == TypesOf(mine).size();
  std::vector<bool> goes(count, false);
  for (std::size_t i = 0; i < count; ++i) {
    const Change& change = mine.changes[i].second;
    if (change.createdKey) continue;
    for (const std::string& type : going.types) goes[i] = goes[i] || BelongsToType(change, type);
    goes[i] = goes[i] || (lastType && IsKeyUnder(change.key, AppKeyOf(mine.launcher))) ||
              (going.places.menu && IsMenuChange(change, mine.progId)) ||
              (going.places.folders && IsFolderChange(change, mine.progId));
  }
  for (std::size_t i = 0; i < count; ++i) {
    const Change& createdKey = mine.changes[i].second;
    if (!createdKey.createdKey) continue;
    bool underIt = false, keptUnderIt = false;
    for (std::size_t k = 0; k < count; ++k) {
      const Change& change = mine.changes[k].second;
      if (change.createdKey || !IsKeyUnder(change.key, createdKey.key)) continue;
      underIt = true;
      keptUnderIt = keptUnderIt || !goes[k];
    }
    goes[i] = underIt && !keptUnderIt;
  }
  return goes;
}

// Gives one value back: its former self where it is still what `mine` wrote, or what
// another registered launcher wants there; the other launchers' records follow it.
std::string GiveValueBack(RegistryJournal& journal, std::vector<ChangeRecord>& records, const ChangeRecord& mine,
                          const Change& change, std::vector<std::string>& said) {
  const RegistryValue now = journal.registry().Read(change.key, change.name);
  RegistryValue target = change.before;
  bool anotherHoldsIt = false;
  for (ChangeRecord& other : records) {
    if (&other == &mine) continue;
    for (auto& [slot, theirs] : other.changes) {
      if (theirs.createdKey || !SameRegistryName(theirs.key, change.key) || !SameRegistryName(theirs.name, change.name))
        continue;
      anotherHoldsIt = anotherHoldsIt || now == theirs.after;
      // Written over ours: what was there before us was there before them.
      if (theirs.before == change.after) {
        theirs.before = change.before;
        other.dirty = true;
      }
      // Still wanted by a launcher that is registered: it gets the value.
      if (theirs.before == change.before) target = theirs.after;
    }
  }
  if (now == change.after) return journal.Write(change.key, change.name, target);
  if (!anotherHoldsIt)
    said.push_back("left " + Describe(journal.registry(), change.key, change.name) +
                   " as it is: it was changed after register wrote it");
  return "";
}

// The keys `mine` created that go, the deepest first: removed where empty, else handed
// to a registered launcher that wrote under them.
std::string RemoveCreatedKeys(RegistryJournal& journal, std::vector<ChangeRecord>& records, const ChangeRecord& mine,
                              const std::vector<bool>& goes) {
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < goes.size(); ++i)
    if (goes[i] && mine.changes[i].second.createdKey) keys.push_back(mine.changes[i].second.key);
  auto depth = [](const std::string& key) { return std::count(key.begin(), key.end(), '\\'); };
  std::stable_sort(keys.begin(), keys.end(),
                   [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
  for (const std::string& key : keys) {
    if (!journal.registry().KeyExists(key)) continue;
    if (journal.registry().KeyIsEmpty(key)) {
      if (std::string error = journal.DeleteKey(key); !error.empty()) return error;
      continue;
    }
    for (ChangeRecord& other : records) {
      const bool wroteUnder = std::any_of(other.changes.begin(), other.changes.end(),
                                          [&](const auto& entry) { return IsKeyUnder(entry.second.key, key); });
      if (&other == &mine || !wroteUnder) continue;
      if (!other.Find(key, "", true)) other.Add({true, key, "", {}, {}});
      break;
    }
  }
  return "";
}

// The records written back: `mine` without the changes that went (its class removed whole
// where `all` went), and every other record that changed.
std::string SaveRecords(RegistryJournal& journal, std::vector<ChangeRecord>& records, ChangeRecord& mine,
                        const std::vector<bool>& goes, bool all) {
  std::vector<std::pair<std::string, Change>> kept;
  for (std::size_t i = 0; i < goes.size(); ++i)
    if (!goes[i]) kept.push_back(mine.changes[i]);
  mine.changes = kept;
  if (std::string error = all ? journal.DeleteTree(mine.progId) : SaveRecord(journal, mine); !error.empty())
    return error;
  for (const ChangeRecord& other : records)
    if (&other != &mine && other.dirty)
      if (std::string error = SaveRecord(journal, other); !error.empty()) return error;
  return "";
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

std::string Pathext() {
  const char* pathext = std::getenv("PATHEXT");
  return pathext ? pathext : "";
}

std::string LauncherPathError(const std::string& launcher) {
  if (const std::size_t length = Utf16Length(launcher); length > kLongestPath)
    return "the launcher's path is " + std::to_string(length) + " characters long, and Windows starts no program " +
           "whose path is longer than " + std::to_string(kLongestPath) + ": move it to a shorter path";
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
  const RootLock lock(classes);
  if (!lock.error().empty()) return Refused(lock.error());
  std::vector<ChangeRecord> records = LoadRecords(classes);
  RegistryOutcome outcome;
  ChangeRecord* mine = nullptr;
  if (std::string error = OwnRecord(classes, records, registration, mine, outcome.said); !error.empty())
    return Refused(error);
  std::string shortcut;
  if (registration.places.sendTo)
    if (std::string error = ChooseShortcut(shortcuts, registration, *mine, shortcut, outcome.said); !error.empty())
      return Refused(error);

  const RegistryValue icon =
      StringValue("\"" + (registration.editor.empty() ? launcher : registration.editor) + "\",0");
  RegistryJournal journal(classes);
  const std::string formerShortcut = mine->sendTo;
  std::string error =
      WriteValues(journal, OwnClassValues(registration, mine->progId, icon), nullptr, records, outcome.said);
  if (error.empty())
    error = WriteValues(journal, RecordedValues(registration, mine->progId, icon), mine, records, outcome.said);
  if (error.empty() && !shortcut.empty()) {
    mine->dirty = mine->dirty || mine->sendTo != shortcut;
    mine->sendTo = shortcut;
  }
  if (error.empty() && mine->dirty) error = SaveRecord(journal, *mine);
  // The shortcut last: a failure there takes the registry back too.
  if (error.empty() && !shortcut.empty() && !SamePath(shortcuts.TargetOf(shortcut), launcher))
    error = shortcuts.Make(shortcut, launcher, registration.editor);
  if (!error.empty()) return Failed(journal, error);
  outcome.shortcut = shortcut;
  // The shortcut of the editor's former name, once the one of its new name is there.
  if (!shortcut.empty() && !formerShortcut.empty() && !SamePath(formerShortcut, shortcut) &&
      SamePath(FolderOf(formerShortcut), shortcuts.Folder()) && SamePath(shortcuts.TargetOf(formerShortcut), launcher))
    if (std::string left = shortcuts.Remove(formerShortcut); !left.empty()) outcome.said.push_back(left);
  return outcome;
}

RegistryOutcome UnregisterLauncher(Registry& classes, Shortcuts& shortcuts, const std::string& launcher,
                                   const Unregistration& what) {
  const RootLock lock(classes);
  if (!lock.error().empty()) return Refused(lock.error());
  std::vector<ChangeRecord> records = LoadRecords(classes);
  std::vector<std::string> found;
  ChangeRecord* mine = nullptr;
  if (std::string error = FindMine(records, launcher, mine, found); !error.empty()) return Refused(error);
  if (!mine) {
    RegistryOutcome outcome;
    outcome.nothingRegistered = true;
    return outcome;
  }
  if (std::string error = Untrusted(classes, records); !error.empty()) return Refused(error);
  RegistryOutcome outcome = WhatGoes(*mine, what);
  outcome.said.insert(outcome.said.begin(), found.begin(), found.end());
  const bool all = TakesAll(*mine, outcome);
  outcome.classGone = all;
  const std::vector<bool> goes = ChangesThatGo(*mine, outcome);

  RegistryJournal journal(classes);
  std::string error;
  // The values, the last change first.
  for (std::size_t i = goes.size(); i-- > 0 && error.empty();)
    if (goes[i] && !mine->changes[i].second.createdKey)
      error = GiveValueBack(journal, records, *mine, mine->changes[i].second, outcome.said);
  if (error.empty()) error = RemoveCreatedKeys(journal, records, *mine, goes);
  const std::string shortcut = outcome.places.sendTo ? mine->sendTo : "";
  if (outcome.places.sendTo) mine->sendTo.clear();
  if (error.empty()) error = SaveRecords(journal, records, *mine, goes, all);
  if (!all) outcome.left = InWords(TypesOf(*mine), PlacesOf(*mine));
  // The shortcut last, and only while it is one in the Send To folder that starts the launcher.
  if (error.empty() && !shortcut.empty()) {
    if (!SamePath(FolderOf(shortcut), shortcuts.Folder()) ||
        !SamePath(shortcut.substr(shortcut.size() - std::min<std::size_t>(4, shortcut.size())), ".lnk"))
      outcome.said.push_back("left " + shortcut + " as it is: it is no shortcut in the Send To folder, " +
                             shortcuts.Folder());
    else if (SamePath(shortcuts.TargetOf(shortcut), launcher))
      error = shortcuts.Remove(shortcut);
    else
      outcome.said.push_back("left " + shortcut + " as it is: it no longer starts the launcher");
  }
  return error.empty() ? outcome : Failed(journal, error);
}

namespace {

// What the launcher holds, read without the lock: RegisteredFor's answer.
bool Holdings(const Registry& classes, const std::string& launcher, std::vector<std::string>& types, Places& places) {
  std::vector<ChangeRecord> records = LoadRecords(classes);
  std::vector<std::string> said;
  ChangeRecord* record = nullptr;
  if (!FindMine(records, launcher, record, said).empty() || !record) return false;
  types = TypesOf(*record);
  places = PlacesOf(*record);
  return true;
}

}  // namespace

bool RegisteredFor(Registry& classes, const std::string& launcher, std::vector<std::string>& types, Places& places) {
  const RootLock lock(classes);
  return lock.error().empty() && Holdings(classes, launcher, types, places);
}

std::string InWords(const std::vector<std::string>& types, const Places& places) {
  std::string words;
  for (const std::string& type : types) words += (words.empty() ? "" : " ") + type;
  for (const PlaceName& place : kPlaceNames)
    if (places.*place.flag) words += (words.empty() ? "" : ", ") + std::string(place.words);
  return words;
}

std::string RegisteredWhere(Registry& classes, const std::string& launcher) {
  std::vector<std::string> types;
  Places places;
  const RootLock lock(classes);
  if (!lock.error().empty()) return "unknown: " + lock.error();
  if (!Holdings(classes, launcher, types, places)) return "";
  const std::string where = InWords(types, places);
  return where.empty() ? "its own class alone" : where;
}

std::string SameNameRegistered(Registry& classes, const std::string& launcher) {
  const RootLock lock(classes);
  if (!lock.error().empty()) return "";
  for (const ChangeRecord& record : LoadRecords(classes))
    if (!SamePath(record.launcher, launcher) && SameRegistryName(FileNameOf(record.launcher), FileNameOf(launcher)) &&
        !TypesOf(record).empty())
      return record.launcher + " (" + InWords(TypesOf(record), PlacesOf(record)) + "), recorded in " +
             classes.RootName() + "\\" + RecordKeyOf(record.progId);
  return "";
}
