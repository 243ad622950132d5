// check: what a launcher will start, in words, from Windows' own answer where Windows can
// be asked (the launcher run under the debugger) and from its rules where it cannot.
#pragma once

#include <optional>
#include <string>

#include "launcher_file.h"

// What a check found: the lines to print, and whether it fails (exit code 1): the
// launcher starts nothing, the template is unusable, or the file is none of ours.
struct CheckReport {
  std::string lines;
  bool fails = false;
};

// check FILE [TEXT]: the launcher `launcher`, read from `path` (held open, so that what
// runs is what was read), started as a "%1" association starts it with TEXT (default: a
// sample file name).
CheckReport CheckLauncher(const std::string& path, const LauncherFile& launcher,
                          const std::optional<std::string>& text);

// check .EXT [TEXT]: what Windows starts for files of `type` and, where that is a
// launcher of ours, its own check. Windows only.
CheckReport CheckFileType(const std::string& type, const std::optional<std::string>& text);

// What set refuses and check says of a template whose program is the launcher itself.
std::string StartsItselfMessage(const std::string& program);
