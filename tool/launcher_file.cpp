#include "launcher_file.h"

std::string ReadLauncher(const std::string& path, LauncherFile& launcher, bool hold) {
  launcher.ours = false;
  if (std::string error = hold ? ReadAndHoldFile(path, launcher.bytes, kMaxExecutableSize, launcher.held)
                               : ReadWholeFile(path, launcher.bytes, kMaxExecutableSize, true);
      !error.empty())
    return error;
  if (std::string error = LocateTemplateBlock(launcher.bytes, launcher.offset); !error.empty()) return error;
  launcher.ours = IsOurLauncher(launcher.bytes, launcher.offset);
  return "";
}
