// The tests' stand-in for an editor: appends one line to the file named by OPENER_RECORD,
// "<show mode>\t<its own raw command line, as UTF-8>\n". Then, as set by the environment:
// - OPENER_RECORD_HOLD_MS: stays that long, then creates "<record>.done", to show
//   whether anybody waited for it;
// - OPENER_RECORD_APPEND: appends that line to the file named by its last argument, as
//   an editor saves the file it was given (after the hold);
// - OPENER_RECORD_EXIT: ends with that exit code (all 32 bits);
// - OPENER_RECORD_STARTED: writes the performance counter as it was on entry to that file;
// - OPENER_RECORD_MODULE: adds "\t<its own full path>" to the line, to tell which copy started;
// - OPENER_RECORD_ARGS: adds "\t<argument>" for each argument as CommandLineToArgvW reads
//   them (and so as most programs read them), to show how the command line was split.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return (n > 0 && n < MAX_PATH * 2) ? std::wstring(value, n) : std::wstring();
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

bool Append(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LARGE_INTEGER entered;
  QueryPerformanceCounter(&entered);
  std::wstring started = Environment(L"OPENER_RECORD_STARTED");
  if (!started.empty()) Append(started, std::to_string(entered.QuadPart) + "\n");

  std::wstring record = Environment(L"OPENER_RECORD");
  if (record.empty()) return 1;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  std::string line = std::to_string(show) + "\t" + Utf8(GetCommandLineW());
  if (!Environment(L"OPENER_RECORD_MODULE").empty()) {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    line += "\t" + Utf8(std::wstring(self, n).c_str());
  }
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!Environment(L"OPENER_RECORD_ARGS").empty())
    for (int i = 1; argv && i < argc; ++i) line += "\t" + Utf8(argv[i]);
  if (!Append(record, line + "\n")) return 2;

  std::wstring hold = Environment(L"OPENER_RECORD_HOLD_MS");
  if (!hold.empty()) Sleep(static_cast<DWORD>(std::wcstoul(hold.c_str(), nullptr, 10)));
  std::wstring appended = Environment(L"OPENER_RECORD_APPEND");
  if (!appended.empty() && argv && argc > 1) Append(argv[argc - 1], Utf8(appended.c_str()) + "\n");
  LocalFree(argv);
  if (!hold.empty())
    CloseHandle(CreateFileW((record + L".done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return static_cast<int>(std::wcstoul(Environment(L"OPENER_RECORD_EXIT").c_str(), nullptr, 10));
}
