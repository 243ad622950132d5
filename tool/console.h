// The console and the standard streams, and what else the tool asks of the system it runs
// on: which system it is, its arguments, the code page. One implementation per system:
// console_posix.cpp, console_windows.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Whether the tool runs on Windows: only there are there a registry, files Windows would
// start and a launcher to run; elsewhere the commands that need them say so.
extern const bool kOnWindows;

// The arguments after the program's name, as UTF-8: on Windows read from the UTF-16
// command line, so that no character outside the ANSI code page is lost on the way in.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The system's ANSI code page where it is not UTF-8 (a launcher there reads a template's
// non-ASCII bytes in it), else 0. Always 0 but on Windows.
unsigned LegacyCodePage();

// Puts the standard streams in binary mode, so that what is printed is printed byte for
// byte, on Windows as elsewhere (no "\r" added before each "\n").
void UseBinaryStdio();

// Writes `text` (UTF-8) to `stream` (stdout or stderr) and flushes it: to a Windows
// console as UTF-16, so that every character shows whatever its code page; to a file or
// a pipe byte for byte. False when it could not be written whole.
bool WriteText(std::FILE* stream, const std::string& text);

// `text` written to `stream` byte for byte and flushed; false when it was not all written.
inline bool WriteBytes(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  return std::fflush(stream) == 0 && !std::ferror(stream);
}

// True when the program has a console of its own that no other process shares: it was
// started by a double-click, not from a prompt. Never elsewhere than on Windows.
bool StartedByDoubleClick();

// Reads a line of standard input, without its line end, as UTF-8: from a console as
// UTF-16 (a name dragged into the window arrives whole, whatever the code page), from a
// pipe or a file as UTF-8. False at the end of input (Ctrl+Z, a closed pipe).
bool ReadInputLine(std::string& line);

// What to say (UTF-8) if the user presses Ctrl+C or Ctrl+Break from now on, before the
// program ends as it does by default; "" for nothing. Only a console has them.
void SayOnInterrupt(const std::string& text);

// The full path of the running program; "" where the system does not say.
std::string OwnProgramPath();
