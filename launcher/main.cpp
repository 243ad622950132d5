// opener: puts the rest of its own command line into the stored command template in
// place of each "%s", starts that command and ends. No window, no console, no message.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "argument_tail.h"
#include "template_block.h"

extern TemplateBlock gTemplateBlock;  // stored_template.cpp; rewritable in the built .exe

namespace {

const char* const gCommandLine = GetCommandLineA();  // fetched once, at start-up
std::string gCommand;                                // the command we start

// WinExec returns a value above 31 on success, else an error value (0: out of memory).
int ExitCodeFor(UINT winExecResult) {
  if (winExecResult > 31) return 0;
  return winExecResult == 0 ? ERROR_NOT_ENOUGH_MEMORY : static_cast<int>(winExecResult);
}

[[noreturn]] void RunLauncher() {
  // 1. Our own full path: only its length and ASCII text are used to pass over it.
  char ownPath[MAX_PATH + 1];
  DWORD ownLength = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);

  // 2. The arguments: everything after our program name, unchanged.
  const char* tail = FindArgumentTail(gCommandLine, {ownPath, ownLength});

  // 3. The command: the stored template with the tail in place of each "%s".
  gCommand.clear();
  ExpandTemplate(gTemplateBlock, tail, gCommand);

  // 4. Start it, exactly once, and end without waiting for it.
  UINT result = WinExec(gCommand.c_str(), SW_SHOW);
  std::exit(ExitCodeFor(result));
}

}  // namespace

int main() { RunLauncher(); }
