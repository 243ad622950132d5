// check's dry run with the Win32 debugging API. Rules:
// - the launcher is started as "FILE" ARGUMENT (as an association starts it), with
//   DEBUG_PROCESS, so that every process it creates is debugged too;
// - the launcher's own image must be the file that was read (held open meanwhile, so that
//   nobody could replace it): any other is ended before it runs;
// - Windows reports a process it creates (CREATE_PROCESS_DEBUG_EVENT) before that
//   process has run any code of its own: its image path and command line are read
//   there, and it is ended there;
// - the launcher runs to its end; its exit code says why, when it created nothing; when
//   it says that it started one (0), the program's creation is waited for, for Windows
//   may report it after the launcher's end;
// - all of it within a minute from the start, however many events arrive; a start that
//   fails with an internal error is tried once more;
// - breakpoints are continued, every other exception is left to the debuggee.
#include <windows.h>
#include <winternl.h>

#include "dry_run.h"
#include "windows_handles.h"
#include "windows_text.h"

namespace {

std::string ImagePath(HANDLE process) {
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return "";
  path.resize(size);
  return Utf8(path);
}

// A process's command line, read from its own memory (its PEB); "" where it cannot be.
std::string CommandLineOf(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
      !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
    return "";
  std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(), parameters.CommandLine.Length, nullptr))
    return "";
  return Utf8(line);
}

constexpr DWORD kWow64Breakpoint = 0x4000001F;  // a 32-bit debuggee's first breakpoint, seen by a 64-bit debugger

}  // namespace

DryRunResult DryRunLauncher(const std::string& file, const std::string& argument, void* held) {
  DryRunResult run;
  const std::wstring path = FullPath(file);
  std::wstring line = L"\"" + path + L"\"" + (argument.empty() ? L"" : L" " + Utf16(argument));
  run.launcher = Utf8(path);
  run.commandLine = Utf8(line);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION launcher{};
  // An internal error (seen now and then from Wine's debugger under load) is tried once more.
  bool created = false;
  for (int attempt = 0; !created && attempt < 2; ++attempt) {
    created = CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, DEBUG_PROCESS, nullptr, nullptr,
                             &startup, &launcher);
    if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!created) {
    run.failure = "cannot run the launcher: " + ErrorText(GetLastError());
    return run;
  }
  const OwnedHandle process(launcher.hProcess), thread(launcher.hThread);

  const ULONGLONG deadline = GetTickCount64() + 60000;
  for (bool ended = false; !ended || (run.exitCode == 0 && run.program.empty());) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      if (!ended) run.failure = "the launcher did not end within a minute";
      TerminateProcess(process.get(), 1);
      break;
    }
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, static_cast<DWORD>(deadline - now))) continue;
    DWORD status = DBG_CONTINUE;
    // The debugger's to close: the image file of each process and library reported.
    const OwnedHandle image(event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT ? event.u.CreateProcessInfo.hFile
                            : event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT     ? event.u.LoadDll.hFile
                                                                                 : nullptr);
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.dwProcessId == launcher.dwProcessId) {
          const FileId ran = IdOfOpenFile(event.u.CreateProcessInfo.hFile), read = IdOfOpenFile(held);
          if (ran.index != 0 && read.index != 0 && !(ran == read)) {
            run.replaced = true;
            TerminateProcess(process.get(), 1);
          }
        }
        if (event.dwProcessId != launcher.dwProcessId && run.program.empty()) {
          run.program = ImagePath(event.u.CreateProcessInfo.hProcess);
          run.programId = IdOfOpenFile(event.u.CreateProcessInfo.hFile);
          run.programLine = CommandLineOf(event.u.CreateProcessInfo.hProcess);
        }
        if (event.dwProcessId != launcher.dwProcessId) TerminateProcess(event.u.CreateProcessInfo.hProcess, 1);
        break;
      case EXCEPTION_DEBUG_EVENT: {
        DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
        if (code != EXCEPTION_BREAKPOINT && code != kWow64Breakpoint) status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        if (event.dwProcessId == launcher.dwProcessId) {
          run.exitCode = event.u.ExitProcess.dwExitCode;
          run.exitText = ErrorText(run.exitCode);
          ended = true;
        }
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  return run;
}
