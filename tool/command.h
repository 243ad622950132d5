// What every command of opener-template shares: the options it was given, how it speaks
// (usage errors, refusals, warnings, output) and with which exit code, and its FILE read.
// Each command's own work is in a file of its own: set_command.cpp, register_command.cpp;
// main.cpp has the table of commands and the parser.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "file_types.h"
#include "launcher_file.h"

inline constexpr int kRefused = 1;
inline constexpr int kUsage = 2;

// What a command's options gave.
struct Options {
  bool offset = false;
  bool force = false;
  bool allUsers = false;
  Places places;
  std::optional<std::string> fromFile;
  std::optional<std::string> output;
  std::optional<std::string> program;
  std::optional<std::string> arguments;
  std::vector<std::string> operands;
};

// Says what is wrong with the command line, with the hint of --help: exit code 2.
int Usage(const std::string& what);
// Says why `file` was refused: exit code 1.
int Refuse(const std::string& file, const std::string& what);
void Warn(const std::string& file, const std::string& what);
// Prints `text` on standard output; a failure (a full disk) is said as `what`, with exit code 1.
int Print(const std::string& text, const char* what);

// Standard input is for --from-file only: a launcher is a file, never a stream. Returns
// what is wrong with `path` as the operand `what`, or "".
[[nodiscard]] std::string CheckOperand(const std::string& path, const char* what);
// Reads the launcher FILE (with `hold`, held open while it runs) and finds its block;
// returns 0, or the exit code of what was wrong, said.
[[nodiscard]] int ReadLauncherOperand(const std::string& path, LauncherFile& launcher, bool hold = false);

// The commands with files of their own.
int Set(const Options& options);
int Register(const Options& options);
int Unregister(const Options& options);
int UpdateLaunchers(const Options& options);
