// opener.exe: starts the command and ends at once; the program runs on by itself.
#include <windows.h>

#include "start_command.h"

int StartCommand(std::string& command) {
  // WinExec returns a value above 31 on success, else an error value (0: out of memory).
  UINT result = WinExec(command.c_str(), SW_SHOW);
  return result > 31 ? kStarted : WinExecError(result);
}
