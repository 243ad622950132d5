// The tests' system on Windows: CreateProcessW with a command line that the C runtime
// splits back into the same arguments, the module's own path, CreateSymbolicLinkW.
#include <windows.h>

#include "process.h"
#include "windows_handles.h"
#include "windows_text.h"

namespace {

// Wine starts its desktop process (explorer.exe /desktop) for the first program that asks
// for a window or the shell, and that process holds the program's standard streams for as
// long as the desktop lives: a tool run by a test (register tells the shell that types
// changed) would hold its stream files past its end, and they could not be removed. The
// test program asks first, so that the desktop is started with its streams, and ends
// soon after it.
[[maybe_unused]] const HWND gDesktop = GetDesktopWindow();

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring Quote(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

OwnedHandle Inheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return OwnFile(CreateFileW(Utf16(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring wide(path, n);
  wide.resize(wide.rfind(L'\\') + 1);
  return Utf8(wide);
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

// Wine 8 says yes and makes nothing; Windows wants developer mode or an administrator.
bool MakeSymbolicLink(const std::string& link, const std::string& target) {
  return CreateSymbolicLinkW(Utf16(link).c_str(), Utf16(target).c_str(), 0) &&
         GetFileAttributesW(Utf16(link).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& in,
          const std::string& out, const std::string& err) {
  std::wstring commandLine = Quote(Utf16(program));
  for (const std::string& arg : args) commandLine += L" " + Quote(Utf16(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const OwnedHandle input = Inheritable(in, false), output = Inheritable(out, true), error = Inheritable(err, true);
  startup.hStdInput = input.get();
  startup.hStdOutput = output.get();
  startup.hStdError = error.get();
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(Utf16(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &created))
    return -1;
  const OwnedHandle process(created.hProcess), thread(created.hThread);
  // One that hangs is ended, so that it holds none of the files it was given.
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), INFINITE);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.get(), &exitCode);
  return static_cast<int>(exitCode);
}
