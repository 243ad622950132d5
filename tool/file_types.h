// A launcher registered for file types, as Windows' conventions for an application have it,
// under HKEY_CURRENT_USER\Software\Classes (or HKEY_LOCAL_MACHINE's, for all users):
//   opener.NAME                      the launcher's class: its type name, DefaultIcon (the
//                                    editor's), shell\open\command "FILE" "%1"
//   .EXT                             default: opener.NAME; opener.NAME.previous: the default
//                                    it had (REG_NONE where it had none), for unregister
//   .EXT\OpenWithProgids             opener.NAME, so that "Open with" offers it
//   Applications\NAME.exe            FriendlyAppName (the editor's name), SupportedTypes,
//                                    shell\open\command "FILE" "%1"
// One implementation per system: file_types_windows.cpp, file_types_posix.cpp (none).
#pragma once

#include <string>
#include <vector>

// Only Windows has the registry.
extern const bool kHasRegistry;

struct Registration {
  std::string launcher;            // the launcher's full path
  std::string editor;              // the full path of the program its template starts, or ""
  std::vector<std::string> types;  // ".EXT" each; for unregister, none: every type it has
  bool allUsers = false;
};

// What is wrong with `type` as a file type to register, or "": a dot and 1 to 30
// characters without blanks, control characters or \ / : * ? " < > |, and none of the
// types through which Windows starts programs (.exe .com .bat .cmd .pif .scr .lnk .msi
// and those in `pathext`, the PATHEXT variable's value), which a launcher would break.
std::string FileTypeError(const std::string& type, const std::string& pathext);

// Writes the registration, then tells Windows that associations changed. A failure
// midway takes back what this run wrote. Returns what failed (naming the key), or "".
std::string RegisterTypes(const Registration& registration);

// Removes what RegisterTypes wrote for the launcher, for its types (every type it has
// when none is named), giving each its former default back; another launcher that
// registered the type since keeps it, inheriting that default. Touches nothing else.
std::string UnregisterTypes(const Registration& registration);

// What Windows starts for files of `type`: its open command and program (both "" where
// none), and the ProgId a user picked with "Open with" and "Always" ("" where none).
struct TypeAnswer {
  std::string command;
  std::string program;
  std::string userChoice;
};
TypeAnswer AskWindowsAbout(const std::string& type);

// The class register writes for the launcher at `launcher`: opener.NAME.
std::string ClassOf(const std::string& launcher);
