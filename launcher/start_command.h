// The one step in which the launchers differ: how the command is started.
// opener.exe starts it and ends (start_and_leave.cpp); opener-wait.exe waits for the
// program to end and hands on its exit code (start_and_wait.cpp).
#pragma once

#include <string>

#include "launch_result.h"

// Starts `command` (NUL-terminated by the string) shown with SW_SHOW; returns the exit
// code the launcher ends with. Failures give WinExec's error values, the same for both
// launchers (launch_result.h).
int StartCommand(std::string& command);

// A failure to start, as WinExec reports it: 0 (no error value) is out of resources;
// what lies beyond WinExec's range of values, 0 to 31, is bad format; the rest stands
// as it is.
inline int WinExecError(unsigned long error) {
  if (error == 0) return kOutOfResources;
  return error > 31 ? kBadFormat : static_cast<int>(error);
}
