// opener-wait.exe: starts the command, waits for the program to end and ends with its
// exit code, for callers that read the file back once the editor is closed (git, scripts).
#include <windows.h>

#include "start_command.h"

namespace {

// Ctrl+C and Ctrl+Break in a shared console are for the program: we keep waiting.
// (A handler, not the ignore flag: the flag would be inherited by the program.)
BOOL WINAPI KeepWaiting(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

}  // namespace

// - started from a console, a console program uses that console (no second window);
// - the program is never ended by us, even when we are ended first;
// - the exit code is the program's, all 32 bits of it.
int StartCommand(std::string& command) {
  AttachConsole(ATTACH_PARENT_PROCESS);  // fails, harmlessly, when the parent has none
  SetConsoleCtrlHandler(KeepWaiting, TRUE);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return WinExecError(GetLastError());
  CloseHandle(process.hThread);

  DWORD code = kOutOfResources;  // stays so only if Windows cannot tell us the code
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
