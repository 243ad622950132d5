// setup: a short guided dialogue in the console that sets a launcher up, asking for the
// editor, the file types and the places, each step run by the tool's own command for it
// (set --program, register, unregister), so that its summary is those commands.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "file_types.h"

// A launcher as setup reads it: what is wrong with it ("" for nothing), whether it is one
// of this release's, and its template.
struct LauncherSeen {
  std::string error;
  bool ours = false;
  std::string template_;
};

// How the dialogue hears, speaks and acts, and all it asks of the system: the tool's
// commands change things, the rest only reads.
struct SetupIo {
  std::function<bool(std::string&)> readLine;               // false at the end of input
  std::function<void(const std::string&)> write;            // to the user
  std::function<int(const std::vector<std::string>&)> run;  // a command of the tool: its exit code
  std::function<void(const std::string&)> onInterrupt;      // what to say if Ctrl+C ends it now
  std::function<LauncherSeen(const std::string&)> readLauncher;
  std::function<bool(const std::string&)> nameExists;       // a file or folder of that name
  std::function<std::string(const std::string&)> fullPath;  // as Windows reads it from here
  // The file Windows starts for a template's program name, for a launcher in that folder.
  std::function<std::string(const std::string& name, const std::string& launcherFolder)> findProgram;
  std::function<std::string(const std::string&)> displayName;  // the name Windows shows for a program
  // Where the launcher is registered for the user: false where it is not.
  std::function<bool(const std::string& launcher, std::vector<std::string>& types, Places& places)> registeredFor;
  std::string pathext;          // the PATHEXT variable's value
  std::string tool;             // the tool's command as printed: its full path, quoted where needed
  std::string shippedTemplate;  // the template a launcher of the release holds
};

// The system's own: what the tool reads, with `run` for its commands and `readLine`,
// `write` and `onInterrupt` for its console.
SetupIo SystemSetupIo();

// Runs the dialogue for the launcher `file` (none: opener.exe in `toolFolder`, else asked
// for). Nothing is changed before the question that changes it is answered; at the end
// of input it stops at once, saying what was done. Returns 0 when it ran to its end,
// 1 when it stopped early or a step failed.
int RunSetup(const std::optional<std::string>& file, const std::string& toolFolder, SetupIo& io);
