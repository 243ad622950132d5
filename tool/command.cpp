#include "command.h"

#include "console.h"
#include "template_text.h"

// Every name and value we echo is shown as show shows a template: a CR or an escape
// sequence in a file name cannot make a message read as something else.
int Usage(const std::string& what) {
  WriteText(stderr, "opener-template: " + Printable(what) + "\nTry 'opener-template --help'.\n");
  return kUsage;
}

int Refuse(const std::string& file, const std::string& what) {
  WriteText(stderr, "opener-template: " + Printable(file) + ": " + Printable(what) + "\n");
  return kRefused;
}

void Warn(const std::string& file, const std::string& what) {
  WriteText(stderr, "opener-template: " + Printable(file) + ": warning: " + Printable(what) + "\n");
}

int Print(const std::string& text, const char* what) {
  if (WriteText(stdout, text)) return 0;
  WriteText(stderr, std::string("opener-template: cannot print ") + what + "\n");
  return kRefused;
}

std::string CheckOperand(const std::string& path, const char* what) {
  return path == "-" ? std::string(what) + " cannot be '-': only --from-file reads standard input" : "";
}

int ReadLauncherOperand(const std::string& path, LauncherFile& launcher, bool hold) {
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  if (std::string error = ReadLauncher(path, launcher, hold); !error.empty()) return Refuse(path, error);
  return 0;
}
