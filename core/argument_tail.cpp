#include "argument_tail.h"

#include <cstddef>

#include "path_fold.h"

namespace {

// True when the bytes at p spell `path` and the name ends there (a space, a tab, a
// double quote or the end of the line follows); stops at the NUL, so a command line
// shorter than the path is never read past its end.
bool SpellsPath(const char* p, std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (p[i] == '\0' || FoldedPathCharacter(p[i]) != FoldedPathCharacter(path[i])) return false;
  }
  char next = p[path.size()];
  return next == '\0' || next == ' ' || next == '\t' || next == '"';
}

// How many bytes at p are our own path, written with or without its ".exe"; 0 when
// they are not.
std::size_t OwnPathLength(const char* p, std::string_view ownPath) {
  if (ownPath.empty()) return 0;
  if (SpellsPath(p, ownPath)) return ownPath.size();
  constexpr std::string_view kExe = ".exe";
  if (ownPath.size() <= kExe.size()) return 0;
  std::string_view bare(ownPath.data(), ownPath.size() - kExe.size());
  for (std::size_t i = 0; i < kExe.size(); ++i)
    if (FoldedPathCharacter(ownPath[bare.size() + i]) != kExe[i]) return 0;
  return SpellsPath(p, bare) ? bare.size() : 0;
}

}  // namespace

// Rules, in order, from the first byte of the command line:
// - pass over any number of double quotes;
// - pass over the program name: by its length when it is our own path (in any ASCII
//   case, with \ or / between its parts, with or without its ".exe", and followed by a
//   space, a tab, a quote or the end: the only way to find the end of an unquoted path
//   with spaces); otherwise as Windows reads it, up to the next double quote when a
//   quote opened it, else up to the first space or tab;
// - pass over any number of double quotes, then any number of spaces (not tabs);
// - what is left, up to the NUL, is the tail, unchanged.
//
//   command line (own path C:\Tools\opener.exe)     tail
//   "C:\Tools\opener.exe" C:\notes\plan.txt          C:\notes\plan.txt
//   "C:\Tools\opener.exe" "C:\My Notes\a.txt"        "C:\My Notes\a.txt"
//   "C:\Tools\opener.exe""C:\x.txt"                  C:\x.txt"
//   C:\TOOLS\OPENER.EXE x                            x
//   C:/Tools/opener x                                x
//   opener C:\notes\plan.txt                         C:\notes\plan.txt
const char* FindArgumentTail(const char* commandLine, std::string_view ownPath) {
  const char* p = commandLine;

  bool quoted = false;
  while (*p == '"') {
    ++p;
    quoted = true;
  }

  if (std::size_t own = OwnPathLength(p, ownPath); own != 0) {
    p += own;
  } else if (quoted) {
    while (*p != '\0' && *p != '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }

  while (*p == '"') ++p;
  while (*p == ' ') ++p;
  return p;
}
