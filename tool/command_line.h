// Commands as the tool prints them, to be pasted into cmd.exe from any folder: each
// argument quoted where cmd.exe or a program's argument parser (CommandLineToArgvW's
// rules) would read it otherwise. Portable.
#pragma once

#include <string>
#include <vector>

//   argument            written
//   C:\Tools\a.exe      C:\Tools\a.exe
//   C:\My Tools\a.exe   "C:\My Tools\a.exe"
//   C:\My Tools\        "C:\My Tools\\"      (a \ before the closing quote doubled)
//   say "hi"            "say \"hi\""
//   AT&T                "AT&T"               (& | < > ^ ( ) , ; = % ! quoted for cmd.exe)
//   (empty)             ""
std::string QuotedArgument(const std::string& arg);

// `args` as one command line, each argument quoted as QuotedArgument says.
std::string CommandLineOf(const std::vector<std::string>& args);
