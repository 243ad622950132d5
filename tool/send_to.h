// The user's Send To folder and the shortcuts in it: made and read with the shell's
// IShellLinkW on Windows (send_to_windows.cpp), none elsewhere (send_to_none.cpp).
#pragma once

#include <memory>
#include <string>

class Shortcuts {
 public:
  virtual ~Shortcuts() = default;
  // The folder as Windows names it, with its last separator; "" where it names none.
  virtual std::string Folder() const = 0;
  // Whether that folder is there.
  virtual bool FolderExists() const = 0;
  // The full path of the program the shortcut at `path` starts; "" where there is no file
  // there, "?" where it is no shortcut that can be read.
  virtual std::string TargetOf(const std::string& path) const = 0;
  // Makes the shortcut at `path` to `target` with `icon` ("" for the target's), written
  // whole or not at all. Returns what failed, or "".
  [[nodiscard]] virtual std::string Make(const std::string& path, const std::string& target,
                                         const std::string& icon) = 0;
  // Removes the shortcut at `path`. Returns what failed, or "".
  [[nodiscard]] virtual std::string Remove(const std::string& path) = 0;
};

// The user's Send To folder; null where the system has none.
std::unique_ptr<Shortcuts> OpenSendTo();
