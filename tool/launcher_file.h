// A launcher as the tool's commands read it: its bytes, its block, whether it is one of
// this release's launchers, and, for a run, the file held open.
#pragma once

#include <cstddef>
#include <string>

#include "file_io.h"
#include "template_file.h"

struct LauncherFile {
  std::string bytes;
  std::size_t offset = 0;  // the block's
  bool ours = false;       // made by this build, whatever its template (IsOurLauncher)
  HeldFile held;           // with ReadLauncher's `hold`: open, denying writes and deletes
  std::string Template() const { return ReadStoredTemplate(bytes, offset); }
};

// Reads the launcher at `path` and finds its block; with `hold`, keeps the file open and
// unchangeable in `launcher.held` for as long as `launcher` lives, so that what runs is
// what was read. Returns what is wrong (it cannot be read, it holds no block), or "".
[[nodiscard]] std::string ReadLauncher(const std::string& path, LauncherFile& launcher, bool hold = false);
