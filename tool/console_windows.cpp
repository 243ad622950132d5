// The tool's system on Windows: the UTF-16 command line, the console spoken to in
// UTF-16, the ANSI code page and Windows' words for its errors.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

#include "console.h"
#include "windows_handles.h"
#include "windows_text.h"

const bool kOnWindows = true;

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  const LocalMemory<wchar_t*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide.get()[i]));
  return args;
}

unsigned LegacyCodePage() {
  UINT page = GetACP();
  return page == CP_UTF8 ? 0 : page;
}

bool WriteText(std::FILE* stream, const std::string& text) {
  HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
    return WriteBytes(stream, text);
  std::fflush(stream);
  const std::wstring wide = Utf16(text);
  DWORD written = 0;
  for (std::size_t done = 0; done < wide.size(); done += written) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
    if (!WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) || written == 0) return false;
  }
  return true;
}

bool StartedByDoubleClick() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}

namespace {

// Set by Ctrl+C in a window of our own: the line being read ends the input instead.
std::atomic<bool> gStopped{false};

}  // namespace

bool ReadInputLine(std::string& line) {
  line.clear();
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0, read = 0;
  if (gStopped.exchange(false)) return false;
  if (input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
    std::wstring wide;
    for (wchar_t c = 0; c != L'\n';) {
      if (!ReadConsoleW(input, &c, 1, &read, nullptr) || read == 0 || gStopped.exchange(false)) return false;
      // Ctrl+Z ends the input; the rest of its line (the Enter after it) goes with it, so
      // that it answers no later question.
      if (c == 0x1a) {
        while (c != L'\n' && ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1) {
        }
        return false;
      }
      if (c != L'\r' && c != L'\n') wide += c;
    }
    line = Utf8(wide);
    return true;
  }
  bool any = false;
  for (char c = 0; ReadFile(input, &c, 1, &read, nullptr) && read == 1;) {
    any = true;
    if (c == '\n') return true;
    if (c != '\r') line += c;
  }
  return any;
}

namespace {

wchar_t gInterruptText[8192];  // what the Ctrl+C handler says; empty while nothing

BOOL WINAPI SayInterrupted(DWORD) {
  // In a window of its own, which closes as we end, the dialogue ends itself: the
  // question being read ends the input, and its last words wait for Enter.
  if (gInterruptText[0] != L'\0' && StartedByDoubleClick()) {
    gStopped = true;
    return TRUE;
  }
  DWORD written = 0;
  if (gInterruptText[0] != L'\0')
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), gInterruptText, static_cast<DWORD>(wcslen(gInterruptText)), &written,
                  nullptr);
  return FALSE;  // and end as usual
}

}  // namespace

void SayOnInterrupt(const std::string& text) {
  static const bool installed = SetConsoleCtrlHandler(SayInterrupted, TRUE);
  (void)installed;
  // Its first character last: the handler sees the old text, none, or the new one whole.
  gInterruptText[0] = L'\0';
  const std::wstring wide = Utf16(text);
  if (wide.empty()) return;
  wcsncpy(gInterruptText + 1, wide.c_str() + 1, sizeof gInterruptText / sizeof(wchar_t) - 2);
  gInterruptText[sizeof gInterruptText / sizeof(wchar_t) - 1] = L'\0';
  gInterruptText[0] = wide[0];
}

std::string OwnProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return Utf8(path);
}

void UseBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}
