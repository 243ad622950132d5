#include "paths.h"

#include <algorithm>

#include "name_case.h"
#include "path_fold.h"

std::string FolderOf(std::string_view path) { return std::string(path.substr(0, path.find_last_of("\\/") + 1)); }

std::string FileNameOf(std::string_view path) { return std::string(path.substr(path.find_last_of("\\/") + 1)); }

std::string WithoutExe(std::string_view name) {
  const bool exe = name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".exe";
  return std::string(exe ? name.substr(0, name.size() - 4) : name);
}

bool SamePath(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b))
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return FoldedPathCharacter(x) == FoldedPathCharacter(y);
           });
  std::string slashesA(a), slashesB(b);
  std::replace(slashesA.begin(), slashesA.end(), '/', '\\');
  std::replace(slashesB.begin(), slashesB.end(), '/', '\\');
  return SameNameIgnoringCase(slashesA, slashesB);
}
