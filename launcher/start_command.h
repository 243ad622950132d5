// The one step in which the launchers differ: how the command is started.
// opener.exe starts it and ends (start_and_leave.cpp); opener-wait.exe waits for the
// program to end and hands on its exit code (start_and_wait.cpp).
#pragma once

#include <string>

// Starts `command` (NUL-terminated by the string) shown with SW_SHOW; returns the exit
// code the launcher ends with. Failures give WinExec's error values, the same for both
// launchers: 2 file not found, 3 path not found, 11 bad format, 8 out of resources.
int StartCommand(std::string& command);
