// The tool's system on Linux and other POSIX systems: arguments as given, and no console to
// speak to.
#include "console.h"

const bool kOnWindows = false;

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

unsigned LegacyCodePage() { return 0; }

void UseBinaryStdio() {}

bool WriteText(std::FILE* stream, const std::string& text) { return WriteBytes(stream, text); }

bool StartedByDoubleClick() { return false; }

bool ReadInputLine(std::string& line) {
  line.clear();
  int c = 0;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n')
    if (c != '\r') line += static_cast<char>(c);
  return c != EOF || !line.empty();
}

void SayOnInterrupt(const std::string&) {}

std::string OwnProgramPath() { return ""; }
