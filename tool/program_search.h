// Which program a command starts, read as Windows reads it (CreateProcess with no
// program name of its own, and so WinExec):
// - a quoted first word names the path inside the quotes; a blank first, an unclosed
//   quote, or a quote or %s glued to an unquoted name names nothing that starts;
// - an unquoted name is tried at each space or tab, the shortest prefix first, and the
//   first that exists starts;
// - ".exe" is added to a name with no extension: for a full path, none in its last part;
//   for a relative name, no dot anywhere in it;
// - a full path is looked for there alone; D:ed.exe in drive D:'s current folder; .\ed.exe
//   in the current folder; any other name in the launcher's folder, the current folder
//   (a bare name not where NoDefaultCurrentDirectoryInExePath is set), the system folders,
//   then each folder on PATH.
// check lists these where Windows cannot be asked, and set warns from them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kBlanks = " \t";  // what ends a word of the command for Windows

// A drive (C:\), a share (\\server\) or the current drive's root (\Tools): looked for
// where it stands, nowhere else.
bool IsFullPath(std::string_view path);

// The program at the head of a command (or a template), as Windows reads it and as its
// writer meant it. Quoted: the text inside the quotes, both. Unquoted: `first` is the
// first word (up to a space or a tab), which Windows tries first; `meant` goes on over
// the words that continue its path (Files\Ed\ed, Editor.exe), up to a quote, a %s or
// a word that starts the arguments (-x, /x, C:\x), and ends at the last of them that
// ends in a program's extension or holds a \ or /; `shorter`, where a shorter reading
// ends in a program's extension, is that reading: the text then names two programs.
struct ProgramWords {
  std::string_view first;
  std::string_view meant;
  std::string_view shorter;
  bool quoted = false;
  bool leadingBlank = false;  // a space or tab first: Windows reads an empty name
  bool unclosed = false;      // a quote opens the name and none closes it
  bool glued = false;         // an unquoted name runs on into a quote or a %s
};
ProgramWords FindProgram(std::string_view command);

// `path`, with ".exe" added where Windows adds it: where it has no extension (for a
// relative name, no dot anywhere in it).
std::string WithDefaultExtension(std::string_view path);

// The programs Windows tries for `command`, in its order (CreateProcess, and so WinExec,
// with no program name of its own): for a quoted first word, the path inside the quotes;
// else every prefix that ends before a space or a tab, the shortest first; each with
// ".exe" added where Windows adds it. None where Windows reads no name (a blank first,
// an unclosed quote).
std::vector<std::string> ProgramCandidates(std::string_view command);

// The file Windows starts for the program name `name` (a template's, its ".exe" added as
// Windows adds it) of a launcher in `launcherFolder`: its full path, or "" where none.
std::string FindTemplateProgram(std::string_view name, const std::string& launcherFolder);

// Where Windows looks for a candidate: "" for a full path (there alone), else in words.
std::string WhereWindowsLooks(std::string_view candidate);

// Whether `name` ends in .bat or .cmd: a batch file, which Windows runs with cmd.exe.
bool IsBatchName(std::string_view name);

// The batch file that cmd.exe's `commandLine` (/c ...) runs, as written there; "" if none.
std::string BatchFileOf(std::string_view commandLine);

// The full path of the program file Windows starts for `name` (its extension as Windows
// adds it): a full path, or one from the current folder (.\, ..\, D:), where it points;
// any other name in `launcherFolder`, the current folder, the system folders, then each
// folder on PATH; with no launcher folder, as cmd.exe looks for a batch file: in the
// current folder, then on PATH. "" when no such file exists.
std::string FindProgramFile(const std::string& name, const std::string& launcherFolder);
