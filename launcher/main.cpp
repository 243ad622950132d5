// opener: puts the rest of its own command line into the stored command template in
// place of each "%s", starts that command and ends. No window, no console, no message.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "argument_tail.h"
#include "start_command.h"
#include "template_block.h"

extern TemplateBlock gTemplateBlock;  // stored_template.cpp; rewritable in the built .exe

namespace {

const char* const gCommandLine = GetCommandLineA();  // fetched once, at start-up
std::string gCommand;                                // the command we start

// The longest path Windows knows is 32,767 UTF-16 units, at most 3 bytes each in UTF-8.
constexpr std::size_t kLongestPath = 3 * 32767 + 1;

// The most bytes one character takes in the ANSI code page (UTF-8).
constexpr std::size_t kLongestCharacter = 4;

// Our own full path, whole however long it is: in UTF-8 a path of fewer than 260
// characters can take more than 260 bytes. A path that does not fit is cut, by Windows
// at the buffer's end, by Wine at the last whole character before it and without an
// error: only a path that leaves room for one more character is known to be whole.
// Empty when it cannot be read whole, so that the program name is then read as Windows
// reads it.
std::string OwnPath() {
  std::string path(MAX_PATH + 1, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length + kLongestCharacter < path.size()) return path.substr(0, length);
    if (path.size() >= kLongestPath) return {};
    path.resize(2 * path.size());
  }
}

// Windows keeps the ANSI form of the command line in at most 65,535 bytes: a longer one
// (some 21,800 CJK characters in UTF-8) is cut there. True when nothing was cut.
bool CommandLineIsWhole() {
  int whole = WideCharToMultiByte(CP_ACP, 0, GetCommandLineW(), -1, nullptr, 0, nullptr, nullptr);
  return whole <= 0 || std::strlen(gCommandLine) + 1 >= static_cast<std::size_t>(whole);
}

bool TooLongToStart(const std::string& command) {
  int units = MultiByteToWideChar(CP_ACP, 0, command.c_str(), -1, nullptr, 0);  // its NUL among them
  return units > 0 && static_cast<std::size_t>(units) - 1 > kLongestCommand;
}

// Whether a file or folder of the ANSI (UTF-8) `name` exists, from our current folder,
// which the program we start inherits.
bool ExistsHere(std::string_view name) {
  const int length = static_cast<int>(name.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0);
  if (units <= 0) return false;
  auto* wide = static_cast<wchar_t*>(std::calloc(static_cast<std::size_t>(units) + 1, sizeof(wchar_t)));
  if (wide == nullptr) std::abort();  // out of memory, as anywhere while the command is built
  MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide, units);
  const bool exists = GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;
  std::free(wide);
  return exists;
}

[[noreturn]] void RunLauncher() {
  // 1. The whole command line, or nothing: a cut name must not be started.
  if (!CommandLineIsWhole()) std::exit(kCommandTooLong);

  // 2. The arguments: everything after our program name, unchanged.
  const char* tail = FindArgumentTail(gCommandLine, OwnPath());

  // 3. The command: the stored template with the tail in place of each "%s" (at a
  //    quoted one, as one argument or as the arguments the caller quoted).
  gCommand.clear();
  ExpandTemplate(gTemplateBlock, tail, ExistsHere, gCommand);

  // 4. Start it, exactly once; the exit code tells how that went, and a command too
  //    long for Windows is said as such, not as a program of a bad format.
  int code = StartCommand(gCommand);
  std::exit(code != 0 && TooLongToStart(gCommand) ? kCommandTooLong : code);
}

}  // namespace

int main() { RunLauncher(); }
