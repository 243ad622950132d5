// The tests' stand-in for an editor: appends one line to the file named by OPENER_RECORD,
// "<show mode>\t<its own raw command line, as UTF-8>\n". With OPENER_RECORD_HOLD_MS set,
// it then stays that long and creates "<record>.done", to show that nobody waited for it.
#include <windows.h>

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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::wstring record = Environment(L"OPENER_RECORD");
  if (record.empty()) return 1;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  std::string line = std::to_string(show) + "\t" + Utf8(GetCommandLineW()) + "\n";

  HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);

  std::wstring hold = Environment(L"OPENER_RECORD_HOLD_MS");
  if (!hold.empty()) {
    Sleep(static_cast<DWORD>(std::wcstoul(hold.c_str(), nullptr, 10)));
    CloseHandle(CreateFileW((record + L".done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return 0;
}
