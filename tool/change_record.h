// The record of what register changed for one launcher, kept in the registry beside its
// class, so that unregister can give it back from the launcher's path alone:
//   CLASS\OpenerRecord   Launcher  REG_SZ: the launcher's full path
//                        SendTo    REG_SZ: the Send To shortcut register made (absent: none)
//                        NNNNNNNN  REG_BINARY: one change, the slots in the order made
// A change is a version byte (1), whether register created the key (a byte), then the key
// and the value name, each a 32-bit little-endian length and its UTF-8 bytes, then the
// value before and after register wrote it, each as exists (a byte), type (32 bits) and
// data (a length and its bytes). A record is read whole and checked before anything is
// written: a row of a later layout, a row cut short or running on, or a value or key of
// no name above, makes the record one that no run trusts or rewrites (its `damage`).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "registry.h"
#include "registry_journal.h"

// One change of register's: it created `key`, or it wrote the value `name` of `key`,
// which was `before` and became `after`.
struct Change {
  bool createdKey = false;
  std::string key, name;
  RegistryValue before, after;
};

// A change as the REG_BINARY value that records it, and read back: "", or why the value
// is no change of this layout ("written by a later release (layout 2)", "cut short").
RegistryValue EncodeChange(const Change& change);
[[nodiscard]] std::string DecodeChange(const RegistryValue& value, Change& change);

// A launcher's record: its class, its path, and its changes in the order made, each
// with the name of the value (its slot) that holds it.
struct ChangeRecord {
  std::string progId;
  std::string launcher;
  std::vector<std::pair<std::string, Change>> changes;
  bool dirty = false;  // changed here, to be written back
  std::string sendTo;  // the Send To shortcut register made, or ""
  std::string damage;  // "", or why the record cannot be trusted, naming the row
  std::string way;     // then what a user can do about it, as a command where there is one

  // The change that created `key` (with `createdKey`), or that wrote its value `name`.
  Change* Find(const std::string& key, const std::string& name, bool createdKey);
  // Adds `change` in a slot after the others.
  void Add(Change change);
};

// The key under a launcher's class that holds its record.
std::string RecordKeyOf(const std::string& progId);

// Every launcher's record in `classes`: the classes named opener.* that hold one, each
// read whole and checked.
std::vector<ChangeRecord> LoadRecords(const Registry& classes);

// The record of the class `progId` among `records`; null where there is none.
ChangeRecord* FindRecord(std::vector<ChangeRecord>& records, const std::string& progId);

// Writes the record back through `journal`: its launcher's path, each change in its
// slot, the slots of changes gone removed, its shortcut. Returns what failed, or "".
[[nodiscard]] std::string SaveRecord(RegistryJournal& journal, const ChangeRecord& record);
