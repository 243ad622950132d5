// The one step in which the launchers differ: how the command is started.
// opener.exe starts it and ends (start_and_leave.cpp); opener-wait.exe waits for the
// program to end and hands on its exit code (start_and_wait.cpp).
#pragma once

#include <string>

// Starts `command` (NUL-terminated by the string) shown with SW_SHOW; returns the exit
// code the launcher ends with. Failures give WinExec's error values, the same for both
// launchers: 2 file not found, 3 path not found, 11 bad format, 8 out of resources.
int StartCommand(std::string& command);

// A failure to start, as WinExec reports it: 0 (no error value) is out of resources
// (ERROR_NOT_ENOUGH_MEMORY, 8); what lies beyond WinExec's range of values, 0 to 31, is
// bad format (ERROR_BAD_FORMAT, 11); the rest stands as it is.
inline int WinExecError(unsigned long error) {
  if (error == 0) return 8;
  return error > 31 ? 11 : static_cast<int>(error);
}
