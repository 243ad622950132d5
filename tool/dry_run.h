// check's dry run: the launcher itself started as a debuggee, so that Windows, not a
// rule of ours, says which program it starts, and that program is ended before it runs.
#pragma once

#include <string>

#include "file_identity.h"

struct DryRunResult {
  std::string failure;         // why the launcher could not be run so, or ""
  std::string launcher;        // the launcher's full path
  std::string commandLine;     // what it was started with: "FILE" ARGUMENT
  std::string program;         // the full path of the program Windows created for it; "" when none
  FileId programId;            // its file, read from the image Windows mapped (not from its name)
  std::string programLine;     // that program's command line, as far as it could be read
  unsigned long exitCode = 0;  // the launcher's exit code, when it created no program
  std::string exitText;        // that code in Windows' own words
  bool replaced = false;       // Windows mapped another file than the one read: ended unrun
};

// Starts the launcher `file` as "FILE" `argument` (FILE made a full path), under the
// debugger, and ends the program it creates at its creation, before any code of that
// program's own has run. `held` is the file as it was read and recognised (a HANDLE):
// where the image Windows mapped for the launcher is another file, it is ended unrun.
DryRunResult DryRunLauncher(const std::string& file, const std::string& argument, void* held);
