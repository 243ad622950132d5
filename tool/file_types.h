// A launcher registered for file types, as Windows' conventions for an application have it,
// under a root of classes (registry.h: the user's, or with --all-users the machine's):
//   CLASS                            the launcher's own class (ClassOf): its type name,
//                                    DefaultIcon (the editor's), shell\open\command
//                                    "FILE" "%1"; wholly ours, removed whole
//   CLASS\OpenerRecord               Launcher: FILE's full path; NNNN (REG_BINARY): each
//                                    change register made outside CLASS, in order
//   .EXT                             default: CLASS
//   .EXT\OpenWithProgids             CLASS (REG_NONE), so that "Open with" offers it
//   Applications\NAME.exe            FriendlyAppName (the editor's name), SupportedTypes,
//                                    shell\open\command "FILE" "%1"
//   *\shell\CLASS                    --menu: MUIVerb "Edit with EDITOR", Icon, MultiSelectModel
//                                    Player, command "FILE" "%1"
//   Directory\shell\CLASS            --folders: MUIVerb "Open with EDITOR", Icon, command
//   Directory\Background\shell\CLASS  "FILE" "%1" (the background's "FILE" "%V")
// and, with --send-to, a shortcut EDITOR.lnk to FILE in the user's Send To folder, whose
// path the record keeps as its SendTo value.
// A change records its key and value name, the value as it was before (absent, or its
// type and bytes) and as register wrote it; or that register created the key. Unregister
// needs only FILE's path, never its bytes: it finds the record under CLASS and plays it
// backwards (file_types.cpp has the rules; change_record.h the record's layout). Windows'
// part: registry_windows.cpp, send_to_windows.cpp, each with its _none.cpp twin.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "registry.h"
#include "send_to.h"

// The places besides file types where Windows hands files to a program.
struct Places {
  bool menu = false;     // "Edit with EDITOR" on the right-click menu of every file
  bool folders = false;  // "Open with EDITOR" on the menu of every folder and its background
  bool sendTo = false;   // a shortcut in the user's Send To folder
  bool Any() const { return menu || folders || sendTo; }
};

// Each place: its flag, its switch, and its name in what the tool says.
struct PlaceName {
  bool Places::*flag;
  const char* option;
  const char* words;
};
inline constexpr PlaceName kPlaceNames[] = {{&Places::menu, "--menu", "the menu of every file"},
                                            {&Places::folders, "--folders", "the menu of every folder"},
                                            {&Places::sendTo, "--send-to", "Send To"}};

// Types and places in words: ".txt .md, the menu of every file, Send To"; "" for none.
std::string InWords(const std::vector<std::string>& types, const Places& places);

struct Registration {
  std::string launcher;            // the launcher's full path
  std::string editor;              // the full path of the program its template starts, or ""
  std::string editorName;          // the name Windows shows for that program (or the launcher)
  std::vector<std::string> types;  // ".EXT" each
  Places places;
};

// What unregister gives back: these types and places; every one when none is named.
struct Unregistration {
  std::vector<std::string> types;
  Places places;
};

// What register or unregister did: why it refused or failed (and whether everything was
// taken back), or lines that say what it left as it found it.
struct RegistryOutcome {
  std::string error;
  std::vector<std::string> said;
  std::string shortcut;            // register: the Send To shortcut that starts the launcher
  bool nothingRegistered = false;  // unregister: the launcher has no record in this root
  std::vector<std::string> types;  // unregister: the types it gave back
  Places places;                   // unregister: the places it gave back
  bool classGone = false;          // unregister: its own class went too, with its record
  std::string left;                // unregister: what it still holds, in words (InWords)
};

// What is wrong with `type` as a file type to register, or "": a dot and 1 to 30
// characters without blanks, control characters or \ / : * ? " < > |, and none of the
// types through which Windows starts programs (.exe .com .bat .cmd .pif .scr .lnk .msi
// and those in `pathext`, the PATHEXT variable's value), which a launcher would break.
[[nodiscard]] std::string FileTypeError(const std::string& type, const std::string& pathext);
// The PATHEXT variable's value here, "" where it is not set.
std::string Pathext();

// What forbids a file type's command to start the launcher at `launcher`, or "": a path
// longer than kLongestPath UTF-16 units (MAX_PATH with its NUL: a double-click would
// fail), and a path that holds a % (the shell fills %1, %*, %L, %V and the like in a
// command, so the path would be changed before Windows starts it).
inline constexpr std::size_t kLongestPath = 259;
[[nodiscard]] std::string LauncherPathError(const std::string& launcher);

// The class register writes for the launcher at `launcher` (its full path): a valid
// ProgID (at most 39 letters, digits and periods, a letter first) that names one launcher:
// opener.NAME.HASH, NAME from its file name, HASH from its whole path (case folded).
std::string ClassOf(const std::string& launcher);

// Registers the launcher for its types and places in `classes` (and `shortcuts`, for Send
// To). A failure midway takes back what this run wrote.
[[nodiscard]] RegistryOutcome RegisterLauncher(Registry& classes, Shortcuts& shortcuts,
                                               const Registration& registration);

// Gives back what register changed for the launcher at `launcher`, for what `what` names
// (all of it when it names nothing; the launcher's own entries once it has nothing left),
// from its record alone. A failure midway takes back what this run wrote.
[[nodiscard]] RegistryOutcome UnregisterLauncher(Registry& classes, Shortcuts& shortcuts, const std::string& launcher,
                                                 const Unregistration& what);

// What the launcher at `launcher` holds in `classes` (read under the root's lock): its
// types and places; false where it has no record, or the lock was not had.
bool RegisteredFor(Registry& classes, const std::string& launcher, std::vector<std::string>& types, Places& places);

// Where the launcher at `launcher` is registered in `classes`, in words (".txt .md, the
// menu of every file, Send To"), "" where it has no record, or "unknown: " and why where
// the root's lock was not had.
std::string RegisteredWhere(Registry& classes, const std::string& launcher);

// Another launcher of the same file name that holds file types in `classes` (a copy moved
// or made elsewhere): its path, what it holds and where its record is; "" where none does.
std::string SameNameRegistered(Registry& classes, const std::string& launcher);
