#include "process.h"

#include "file_io.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

namespace {

// The folders TestFolder made, removed with everything in them when the test program ends.
class MadeFolders {
 public:
  std::string Add(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folders_.push_back(folder);
    return folder;
  }
  ~MadeFolders() {
    for (const std::string& folder : folders_) {
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::u8path(folder), ignored);
    }
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> folders_;
} gMadeFolders;

// Each run has its own files for its standard streams, so that runs may overlap.
std::string IoFolder() {
  static std::atomic<int> runs{0};
  return TestFolder("io" + std::to_string(runs++));
}

}  // namespace

#ifdef _WIN32

namespace {

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

HANDLE Inheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(Utf16(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string TestFolder(const std::string& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::string folder = Utf8(temp);
  folder += "opener-test-" + std::to_string(GetCurrentProcessId()) + "-" + name;
  CreateDirectoryW(Utf16(folder).c_str(), nullptr);
  return gMadeFolders.Add(folder) + "\\";
}

std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring wide(path, n);
  wide.resize(wide.rfind(L'\\') + 1);
  return Utf8(wide);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                         const std::string& outPath) {
  std::string io = IoFolder();
  WriteBytes(io + "in", input);
  std::wstring commandLine = Quote(Utf16(program));
  for (const std::string& arg : args) commandLine += L" " + Quote(Utf16(arg));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable(io + "in", false);
  startup.hStdOutput = Inheritable(outPath.empty() ? io + "out" : outPath, true);
  startup.hStdError = Inheritable(io + "err", true);
  PROCESS_INFORMATION process{};
  ProcessResult result;
  if (CreateProcessW(Utf16(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  result.out = ReadBytes(io + "out");
  result.err = ReadBytes(io + "err");
  return result;
}

#else

std::string TestFolder(const std::string& name) {
  const char* base = std::getenv("TMPDIR");
  std::string folder = std::string(base && *base ? base : "/tmp") + "/opener-test-" + std::to_string(getpid()) + "-" + name;
  mkdir(folder.c_str(), 0700);
  return gMadeFolders.Add(folder) + "/";
}

std::string ProgramFolder() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  return self.substr(0, self.rfind('/') + 1);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                         const std::string& outPath) {
  std::string io = IoFolder();
  WriteBytes(io + "in", input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, (io + "in").c_str(), O_RDONLY, 0);
  const std::string out = outPath.empty() ? io + "out" : outPath;
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (io + "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  ProcessResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadBytes(io + "out");
  result.err = ReadBytes(io + "err");
  return result;
}

#endif
