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

struct Registration {
  std::string launcher;            // the launcher's full path
  std::string editor;              // the full path of the program its template starts, or ""
  std::string editorName;          // the name Windows shows for that program (or the launcher)
  std::vector<std::string> types;  // ".EXT" each; for unregister, none: every type it has
};

// What register or unregister did: why it refused (nothing was changed), or lines that
// say what it left as it found it.
struct RegistryOutcome {
  std::string error;
  std::vector<std::string> said;
  bool nothingRegistered = false;  // unregister: the launcher has no record in this root
  std::vector<std::string> types;  // unregister: the types it gave back
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

// Registers the launcher for its types in `classes`. A failure midway takes back what
// this run wrote.
RegistryOutcome RegisterTypes(Registry& classes, const Registration& registration);

// Gives back what register changed for the launcher at `launcher`, for `types` (every
// type it has when none is named; the launcher's own entries once it has none left),
// from its record alone. A failure midway takes back what this run wrote.
RegistryOutcome UnregisterTypes(Registry& classes, const std::string& launcher, const std::vector<std::string>& types);

// Whether the launcher at `launcher` has a record in `classes`.
bool IsRegistered(const Registry& classes, const std::string& launcher);

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
