// Figures of the two launchers as real processes under Windows (or Wine), printed, not
// asserted: the CPU time each uses while its program runs, and the time from
// CreateProcess to the started program's first instruction (WinMain of the tests'
// recorder), medians of interleaved rounds, beside the recorder started directly.
//   launch_bench.exe [ROUNDS]   (default 60)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"
#include "windows_text.h"

namespace {

// Where the tests' launchers and recorder are built.
std::wstring Folder() { return Utf16(ProgramFolder()) + L"..\\tests\\windows\\"; }

// Starts `exe` and returns its process handle (the caller closes it), or nullptr.
HANDLE Start(const std::wstring& exe) {
  std::wstring commandLine = L"\"" + exe + L"\" C:\\notes\\plan.txt";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

double Seconds(const FILETIME& time) {
  return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

// Milliseconds from CreateProcess to the recorder's entry, as the recorder noted it.
double StartUp(const std::wstring& exe, const std::wstring& started) {
  DeleteFileW(started.c_str());
  LARGE_INTEGER frequency, before;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  HANDLE process = Start(exe);
  if (!process) return -1;
  long long entered = 0;
  for (int i = 0; i < 10000 && !(std::ifstream(started.c_str()) >> entered); ++i) Sleep(1);
  WaitForSingleObject(process, 30000);
  CloseHandle(process);
  return entered == 0
             ? -1
             : 1000.0 * static_cast<double>(entered - before.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// How the figures were made: which build, and whether Wine ran it on the processor or
// under an emulator (cmake/wine-run says so in OPENER_WINE_EMULATED), where every
// process start costs the emulator's own time.
std::string HowRun() {
  const char* emulator = std::getenv("OPENER_WINE_EMULATED");
  std::string build = sizeof(void*) == 4 ? "32-bit build" : "64-bit build";
  return emulator && *emulator ? build + ", emulated by " + emulator : build + ", native";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 60;
  const std::wstring folder = Folder();
  const std::string how = "  [" + HowRun() + "]";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring record = std::wstring(temp) + L"launch-bench-record.txt";
  const std::wstring started = std::wstring(temp) + L"launch-bench-started.txt";
  SetEnvironmentVariableW(L"OPENER_RECORD", record.c_str());

  // 1. CPU time of each launcher while its program runs for 3 seconds: opener.exe ends at
  // once, so its figure is the cost of a launch alone, without any waiting.
  SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", L"3000");
  for (const wchar_t* name : {L"opener-wait-rec.exe", L"opener-rec.exe"}) {
    HANDLE launcher = Start(folder + name);
    if (!launcher) {
      std::fprintf(stderr, "launch_bench: cannot start %ls\n", (folder + name).c_str());
      return 1;
    }
    WaitForSingleObject(launcher, 60000);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(launcher, &created, &exited, &kernel, &user);
    CloseHandle(launcher);
    std::printf("%-20ls its program running 3 s: lifetime %.3f s, CPU time %.1f ms (user %.1f, kernel %.1f)%s\n", name,
                Seconds(exited) - Seconds(created), 1000 * (Seconds(user) + Seconds(kernel)), 1000 * Seconds(user),
                1000 * Seconds(kernel), how.c_str());
  }
  Sleep(3500);  // the last program ends before the start-up rounds
  SetEnvironmentVariableW(L"OPENER_RECORD_HOLD_MS", nullptr);

  // 2. Start-up: CreateProcess to the recorder's first instruction, rounds interleaved.
  SetEnvironmentVariableW(L"OPENER_RECORD_STARTED", started.c_str());
  const wchar_t* names[] = {L"recorder.exe", L"opener-rec.exe", L"opener-wait-rec.exe"};
  std::vector<double> times[3];
  for (int round = 0; round < rounds; ++round)
    for (int i = 0; i < 3; ++i)
      if (double ms = StartUp(folder + names[i], started); ms >= 0) times[i].push_back(ms);
  std::printf("CreateProcess to the recorder's entry, medians of %d interleaved rounds:\n", rounds);
  for (int i = 0; i < 3; ++i)
    std::printf("  %-22ls %7.2f ms  (%zu runs)%s%s\n", names[i], Median(times[i]), times[i].size(),
                i == 0 ? "  the recorder started directly" : "", how.c_str());
  double direct = Median(times[0]);
  std::printf("  launcher overhead: opener.exe %.2f ms, opener-wait.exe %.2f ms; ratio wait/opener %.2f%s\n",
              Median(times[1]) - direct, Median(times[2]) - direct,
              (Median(times[2]) - direct) / std::max(0.001, Median(times[1]) - direct), how.c_str());
  for (const std::wstring& file : {record, record + L".done", started}) DeleteFileW(file.c_str());
  return 0;
}
