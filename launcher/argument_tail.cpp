#include "argument_tail.h"

#include <cstddef>

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the bytes at p spell `path`, ignoring ASCII case; stops at the NUL, so
// a command line shorter than the path is never read past its end.
bool StartsWithPath(const char* p, std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (p[i] == '\0' || AsciiLower(p[i]) != AsciiLower(path[i])) return false;
  }
  return true;
}

}  // namespace

// Rules, in order, from the first byte of the command line:
// - pass over any number of double quotes;
// - pass over the program name: by the length of our own path when those bytes are our
//   own path (any ASCII case; the only way to find the end of an unquoted path with
//   spaces); otherwise as Windows reads it, up to the next double quote when a quote
//   opened it, else up to the first space or tab;
// - pass over any number of double quotes, then any number of spaces (not tabs);
// - what is left, up to the NUL, is the tail, unchanged.
//
//   command line (own path C:\Tools\opener.exe)     tail
//   "C:\Tools\opener.exe" C:\notes\plan.txt          C:\notes\plan.txt
//   "C:\Tools\opener.exe" "C:\My Notes\a.txt"        "C:\My Notes\a.txt"
//   "C:\Tools\opener.exe""C:\x.txt"                  C:\x.txt"
//   C:\TOOLS\OPENER.EXE x                            x
//   opener C:\notes\plan.txt                         C:\notes\plan.txt
const char* FindArgumentTail(const char* commandLine, std::string_view ownPath) {
  const char* p = commandLine;

  bool quoted = false;
  while (*p == '"') {
    ++p;
    quoted = true;
  }

  if (!ownPath.empty() && StartsWithPath(p, ownPath)) {
    p += ownPath.size();
  } else if (quoted) {
    while (*p != '\0' && *p != '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }

  while (*p == '"') ++p;
  while (*p == ' ') ++p;
  return p;
}
