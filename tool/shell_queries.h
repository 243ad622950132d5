// What the tool asks Windows' shell, and tells it: what a file type starts, the name
// Windows shows for a program, the build of Windows, that associations changed. Asked of
// Windows in shell_queries_windows.cpp; elsewhere (shell_queries_none.cpp) nothing is known.
#pragma once

#include <string>

// Windows' build number (22000 and later: Windows 11); 0 elsewhere.
unsigned long WindowsBuild();

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

// What a user's choice means, in the words check and register both say.
inline constexpr const char* kUserChoiceComesFirst =
    "on Windows 8 and later the program picked with \"Open with\" and \"Always\" comes first";
