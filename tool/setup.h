// setup: a short guided dialogue in the console that sets a launcher up, asking for the
// editor, the file types and the places, each step run by the tool's own command for it
// (set --program, register, unregister), so that its summary is those commands.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// How the dialogue hears, speaks and acts.
struct SetupIo {
  std::function<bool(std::string&)> readLine;               // false at the end of input
  std::function<void(const std::string&)> write;            // to the user
  std::function<int(const std::vector<std::string>&)> run;  // a command of the tool: its exit code
  std::function<void(const std::string&)> onInterrupt;      // what to say if Ctrl+C ends it now
};

// Runs the dialogue for the launcher `file` (none: opener.exe in `toolFolder`, else asked
// for). Nothing is changed before the question that changes it is answered; at the end
// of input it stops at once, saying what was done. Returns 0 when it ran to its end,
// 1 when it stopped early or a step failed.
int RunSetup(const std::optional<std::string>& file, const std::string& toolFolder, SetupIo& io);

// `args` as one command line for cmd.exe: each argument that is empty or holds a blank in
// double quotes.
std::string CommandLineOf(const std::vector<std::string>& args);
