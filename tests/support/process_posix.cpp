// The tests' system on Linux: posix_spawn, /proc/self/exe, symlink.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process.h"

extern char** environ;

std::string ProgramFolder() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  return self.substr(0, self.rfind('/') + 1);
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

bool MakeSymbolicLink(const std::string& link, const std::string& target) {
  return symlink(target.c_str(), link.c_str()) == 0;
}

int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& in,
          const std::string& out, const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int code = -1;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  return code;
}
