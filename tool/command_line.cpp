#include "command_line.h"

std::string QuotedArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"&|<>^(),;=%!") == std::string::npos) return arg;
  std::string quoted = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    for (; i < arg.size() && arg[i] == '\\'; ++i) ++backslashes;
    // Backslashes are literal but before a quote: there each is written twice.
    if (i == arg.size()) return quoted.append(2 * backslashes, '\\') + "\"";
    if (arg[i] == '"')
      quoted.append(2 * backslashes + 1, '\\') += '"';
    else
      quoted.append(backslashes, '\\') += arg[i];
  }
}

std::string CommandLineOf(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) line += (line.empty() ? "" : " ") + QuotedArgument(arg);
  return line;
}
