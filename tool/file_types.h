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
// backwards (file_types.cpp has the rules). One implementation of the Win32 part per
// system: file_types_windows.cpp, file_types_none.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "registry.h"

// Only Windows has the registry.
extern const bool kHasRegistry;

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

// The user's Send To folder and the shortcuts in it.
class Shortcuts {
 public:
  virtual ~Shortcuts() = default;
  // The folder, with its last separator; "" where there is none.
  virtual std::string Folder() const = 0;
  // The full path of the program the shortcut at `path` starts; "" where there is no file
  // there, "?" where it is no shortcut that can be read.
  virtual std::string TargetOf(const std::string& path) const = 0;
  // Makes the shortcut at `path` to `target` with `icon` ("" for the target's), written
  // whole or not at all. Returns what failed, or "".
  virtual std::string Make(const std::string& path, const std::string& target, const std::string& icon) = 0;
  virtual std::string Remove(const std::string& path) = 0;
};

// What register or unregister did: why it refused (nothing was changed), or lines that
// say what it left as it found it.
struct RegistryOutcome {
  std::string error;
  std::vector<std::string> said;
  bool nothingRegistered = false;  // unregister: the launcher has no record in this root
  std::vector<std::string> types;  // unregister: the types it gave back
  Places places;                   // unregister: the places it gave back
};

// What is wrong with `type` as a file type to register, or "": a dot and 1 to 30
// characters without blanks, control characters or \ / : * ? " < > |, and none of the
// types through which Windows starts programs (.exe .com .bat .cmd .pif .scr .lnk .msi
// and those in `pathext`, the PATHEXT variable's value), which a launcher would break.
std::string FileTypeError(const std::string& type, const std::string& pathext);

// What forbids a file type's command to start the launcher at `launcher`, or "": the
// shell fills %1, %*, %L, %V and the like in a command, so a path that holds a % is
// changed before Windows starts it.
std::string LauncherPathError(const std::string& launcher);

// The class register writes for the launcher at `launcher` (its full path): a valid
// ProgID (at most 39 letters, digits and periods, a letter first) that names one launcher:
// opener.NAME.HASH, NAME from its file name, HASH from its whole path (case folded).
std::string ClassOf(const std::string& launcher);

// Registers the launcher for its types and places in `classes` (and `shortcuts`, for Send
// To). A failure midway takes back what this run wrote.
RegistryOutcome RegisterLauncher(Registry& classes, Shortcuts& shortcuts, const Registration& registration);

// Gives back what register changed for the launcher at `launcher`, for what `what` names
// (all of it when it names nothing; the launcher's own entries once it has nothing left),
// from its record alone. A failure midway takes back what this run wrote.
RegistryOutcome UnregisterLauncher(Registry& classes, Shortcuts& shortcuts, const std::string& launcher,
                                   const Unregistration& what);

// What the launcher at `launcher` holds in `classes`: its types and places; false where
// it has no record.
bool RegisteredFor(const Registry& classes, const std::string& launcher, std::vector<std::string>& types,
                   Places& places);

// Where the launcher at `launcher` is registered in `classes`, in words (".txt .md, the
// menu of every file, Send To"), or "" where it has no record.
std::string RegisteredWhere(const Registry& classes, const std::string& launcher);

// The user's Send To folder; null where there is none.
std::unique_ptr<Shortcuts> OpenSendTo();

// Windows' build number (22000 and later: Windows 11); 0 elsewhere.
unsigned long WindowsBuild();

// The user's classes, or with `allUsers` the machine's; null where there is no registry.
std::unique_ptr<Registry> OpenClasses(bool allUsers);

// The name Windows shows for the program at `path`: its version resource's
// FileDescription, else its file name without ".exe".
std::string ProgramDisplayName(const std::string& path);

// Tells the shell that file associations changed.
void TellShellAssociationsChanged();

// What Windows starts for files of `type`: its open command and program (both "" where
// none), and the ProgId a user picked with "Open with" and "Always" ("" where none).
struct TypeAnswer {
  std::string command;
  std::string program;
  std::string userChoice;
};
TypeAnswer AskWindowsAbout(const std::string& type);
