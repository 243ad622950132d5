#include "program_search.h"

#include <algorithm>

#include "path_fold.h"
#include "template_block.h"

namespace {

// Compared as Windows compares names.
std::string Folded(std::string_view path) {
  std::string folded(path);
  for (char& c : folded) c = FoldedPathCharacter(c);
  return folded;
}

bool HasExecutableExtension(std::string_view word) {
  if (word.size() < 4) return false;
  std::string extension = Folded(word.substr(word.size() - 4));
  return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

// D:ed.exe: on drive D:, in that drive's current folder.
bool IsDriveRelative(std::string_view path) { return path.size() >= 2 && path[1] == ':' && !IsFullPath(path); }

// .\ed.exe, ..\ed.exe: from the current folder alone.
bool IsFromCurrentFolder(std::string_view path) {
  std::string head = Folded(path.substr(0, 3));
  return head.rfind(".\\", 0) == 0 || head == "..\\";
}

// A word after an unquoted program's first word that starts its arguments: an option
// (-x, /x) or a path of its own (C:\logs\ed.txt).
bool StartsArguments(std::string_view word) {
  return word.empty() || word[0] == '-' || word[0] == '/' || IsFullPath(word);
}

// A word that goes on with the program's path: it ends in a program's extension or
// holds more path (Files\Ed\ed).
bool ContinuesPath(std::string_view word) {
  return HasExecutableExtension(word) || word.find_first_of("\\/") != std::string_view::npos;
}

}  // namespace

bool IsFullPath(std::string_view path) {
  bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

//   path                 with the extension Windows adds
//   C:\Ed\ed             C:\Ed\ed.exe
//   C:\Ed.d\ed           C:\Ed.d\ed.exe (a full path: only its last part counts)
//   ed.d\ed              ed.d\ed (a relative name: any dot in it counts)
//   ed.com               ed.com
std::string WithDefaultExtension(std::string_view path) {
  const bool relative = !IsFullPath(path) && !IsDriveRelative(path) && !IsFromCurrentFolder(path);
  std::size_t name = relative ? 0 : path.find_last_of("\\/");
  bool extension = path.find('.', name == std::string_view::npos ? 0 : name) != std::string_view::npos;
  return std::string(path) + (extension ? "" : ".exe");
}

ProgramWords FindProgram(std::string_view command) {
  ProgramWords words;
  if (command.empty()) return words;
  if (kBlanks.find(command[0]) != std::string_view::npos) {
    words.leadingBlank = true;
    return words;
  }
  if (command[0] == '"') {
    std::size_t close = command.find('"', 1);
    words.quoted = true;
    words.unclosed = close == std::string_view::npos;
    if (!words.unclosed) words.meant = words.first = command.substr(1, close - 1);
    return words;
  }
  // Up to the first quote or placeholder, or a word that starts the arguments, the path
  // goes on to the last word that continues it; a shorter reading that ends in a
  // program's extension names a program too.
  std::string_view region = command.substr(0, std::min(command.find('"'), command.find(kPlaceholder)));
  words.first = command.substr(0, std::min(command.find_first_of(kBlanks), command.size()));
  words.meant = words.first.substr(0, std::min(words.first.size(), region.size()));
  std::string_view shortest = HasExecutableExtension(words.meant) ? words.meant : std::string_view();
  for (std::size_t end = words.meant.size(); end < region.size();) {
    std::size_t start = end + 1;
    std::size_t next = std::min(region.find_first_of(kBlanks, start), region.size());
    std::string_view word = region.substr(start, next - start);
    if (StartsArguments(word)) break;
    if (ContinuesPath(word)) {
      if (shortest.empty() && HasExecutableExtension(word)) shortest = command.substr(0, next);
      words.meant = command.substr(0, next);
    }
    end = next;
  }
  if (!shortest.empty() && shortest.size() < words.meant.size()) words.shorter = shortest;
  // A name that runs on into a quote or a placeholder: Windows reads them as one word.
  std::size_t after = words.meant.size();
  words.glued = after != 0 && after < command.size() && kBlanks.find(command[after]) == std::string_view::npos;
  return words;
}

//   command                               candidates
//   "C:\Program Files\Ed\ed.exe" "a b"    C:\Program Files\Ed\ed.exe
//   C:\Tools\My Editor.exe a              C:\Tools\My.exe, C:\Tools\My Editor.exe, C:\Tools\My Editor.exe a
//   notepad<tab>a.txt                     notepad.exe, notepad<tab>a.txt
//   C:\Ed\ed "a b"                        C:\Ed\ed.exe (a prefix with a quote names no file)
//    C:\Ed\ed.exe a, "C:\Ed\ed.exe a      none: Windows reads an empty name, or a quote in it
std::vector<std::string> ProgramCandidates(std::string_view command) {
  ProgramWords words = FindProgram(command);
  if (words.leadingBlank || words.unclosed) return {};
  if (words.quoted) {
    if (words.first.empty()) return {};  // "" names no file
    return {WithDefaultExtension(words.first)};
  }
  std::vector<std::string> candidates;
  for (std::size_t end = command.find_first_of(kBlanks); !command.empty();
       end = command.find_first_of(kBlanks, end + 1)) {
    std::string_view prefix = command.substr(0, std::min(end, command.size()));
    // No file name holds a double quote or ends in a blank: such a prefix names no program.
    if (kBlanks.find(prefix.back()) == std::string_view::npos && prefix.find('"') == std::string_view::npos)
      candidates.push_back(WithDefaultExtension(prefix));
    if (end == std::string_view::npos) break;
  }
  return candidates;
}

//   candidate            where Windows looks for it
//   C:\Ed\ed.exe         there
//   D:ed.exe             in the current folder of drive D:
//   .\ed.exe             in the current folder
//   tools\ed.exe         the launcher's folder, the current folder, the system folders, PATH
//   ed.exe               the same, but the current folder not where NoDefaultCurrentDirectoryInExePath is set
std::string WhereWindowsLooks(std::string_view candidate) {
  if (IsFullPath(candidate)) return "";
  if (IsDriveRelative(candidate)) return std::string("in the current folder of drive ") + candidate[0] + ":";
  if (IsFromCurrentFolder(candidate)) return "from the current folder";
  if (candidate.find('\\') != std::string_view::npos)
    return "in the launcher's folder, the current folder, the system folders, then each folder on PATH";
  return "in the launcher's folder, the current folder (unless NoDefaultCurrentDirectoryInExePath is set), the "
         "system folders, then each folder on PATH";
}

bool IsBatchName(std::string_view name) {
  const std::string extension = Folded(name.substr(name.size() < 4 ? 0 : name.size() - 4));
  return extension == ".bat" || extension == ".cmd";
}

//   cmd.exe's command line                                  batch file
//   C:\windows\system32\cmd.exe /s/c ""C:\x\ed.bat" "a b""   C:\x\ed.bat
//   C:\Windows\system32\cmd.exe /c "C:\x\ed.cmd a.txt"        C:\x\ed.cmd
std::string BatchFileOf(std::string_view commandLine) {
  std::size_t at = commandLine.find("/c");
  if (at == std::string_view::npos) at = commandLine.find("/C");
  if (at == std::string_view::npos) return "";
  std::string_view rest = commandLine.substr(at + 2);
  rest.remove_prefix(std::min(rest.find_first_not_of(kBlanks), rest.size()));
  std::size_t quotes = 0;
  for (; !rest.empty() && rest[0] == '"'; rest.remove_prefix(1)) ++quotes;
  return std::string(rest.substr(0, quotes >= 2 ? rest.find('"') : rest.find_first_of(" \t\"")));
}

std::string FindTemplateProgram(std::string_view name, const std::string& launcherFolder) {
  return name.empty() ? "" : FindProgramFile(WithDefaultExtension(name), launcherFolder);
}
