// opener-template: shows and safely rewrites the command template stored in opener.exe.
#include <cstdio>
#include <string>
#include <vector>

#include "file_io.h"
#include "template_file.h"

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

constexpr const char* kHelp = R"(Usage:
  opener-template show [--offset] FILE
  opener-template set [--force] [--output OUT] FILE TEMPLATE
  opener-template set [--force] [--output OUT] FILE --from-file PATH

Shows or replaces the command template stored in opener.exe. The launcher puts the text
it is started with in place of each %s in the template, and starts the result.

  show            print the template as the launcher reads it (control characters
                  as <0xNN>)
    --offset      also print the block's offset in the file, on a second line
  set             write TEMPLATE (at most 243 bytes, UTF-8, no control character
                  but tab) into the block; nothing else in the file changes but its
                  PE checksum, when it has one. A link FILE: its target is rewritten
    --from-file   read the template from PATH ('-': standard input), UTF-8 with or
                  without a byte order mark; one trailing newline is dropped
    --output OUT  write the result to OUT and leave FILE as it was
    --force       rewrite a signed file, removing its signature
  --help          show this help
  --version       show the version

FILE and OUT must be regular files; a read-only file is refused.
Exit codes: 0 done, 1 refused or failed (the file is left as it was), 2 usage error.
)";

int Usage(const std::string& what) {
  std::fprintf(stderr, "opener-template: %s\nTry 'opener-template --help'.\n", what.c_str());
  return kUsage;
}

int Refuse(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "opener-template: %s: %s\n", file.c_str(), what.c_str());
  return kRefused;
}

struct Options {
  bool help = false;
  bool offset = false;
  bool force = false;
  bool fromFile = false;
  std::string fromPath;
  bool output = false;
  std::string outPath;
  std::vector<std::string> operands;
};

// Reads the options after the command; returns "" or what is wrong with them.
std::string ParseOptions(const std::vector<std::string>& args, Options& options) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](bool& seen, std::string& into) {
      if (seen) return arg + " given twice";
      if (i + 1 >= args.size()) return arg + " needs a value";
      seen = true;
      into = args[++i];
      return std::string();
    };
    std::string error;
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") options.operands.push_back(arg);
    else if (arg == "--") optionsEnded = true;
    else if (arg == "--help" || arg == "-h" || arg == "/?") options.help = true;
    else if (arg == "--offset") options.offset = true;
    else if (arg == "--force") options.force = true;
    else if (arg == "--from-file") error = value(options.fromFile, options.fromPath);
    else if (arg == "--output") error = value(options.output, options.outPath);
    else error = "unknown option " + arg;
    if (!error.empty()) return error;
  }
  return "";
}

// Standard input is for --from-file only: a launcher is a file, never a stream.
std::string CheckOperand(const std::string& path, const char* what) {
  return path == "-" ? std::string(what) + " cannot be '-': only --from-file reads standard input" : "";
}

int Show(const Options& options) {
  if (options.operands.size() != 1 || options.force || options.fromFile || options.output)
    return Usage("show takes one FILE and no option but --offset");
  const std::string& path = options.operands[0];
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  std::string file;
  if (std::string error = ReadWholeFile(path, file, kMaxExecutableSize, true); !error.empty())
    return Refuse(path, error);
  std::size_t offset = 0;
  if (std::string error = LocateTemplateBlock(file, offset); !error.empty()) return Refuse(path, error);
  std::string text = ShownTemplate(ReadStoredTemplate(file, offset)) + "\n";
  if (options.offset) text += std::to_string(offset) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Refuse(path, "cannot print the template");
}

int Set(const Options& options) {
  if (options.offset) return Usage("--offset belongs to show");
  if (options.operands.size() != (options.fromFile ? 1u : 2u))
    return Usage(options.fromFile ? "set with --from-file takes one FILE" : "set takes FILE and TEMPLATE");
  const std::string& path = options.operands[0];
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  if (std::string error = CheckOperand(options.outPath, "OUT"); options.output && !error.empty()) return Usage(error);

  std::string text;
  if (options.fromFile) {
    if (std::string error = ReadWholeFile(options.fromPath, text, kMaxTemplateFileSize, false); !error.empty())
      return Refuse(options.fromPath, error);
    if (std::string error = TemplateFromFile(text); !error.empty()) return Refuse(options.fromPath, error);
  } else {
    text = options.operands[1];
  }

  // What is written: FILE itself (a link's target), or OUT.
  std::string target;
  const std::string& named = options.output ? options.outPath : path;
  if (std::string error = ReplaceableTarget(named, target); !error.empty()) return Refuse(named, error);

  std::string file;
  if (std::string error = ReadWholeFile(path, file, kMaxExecutableSize, true); !error.empty())
    return Refuse(path, error);
  std::vector<std::string> notes = TemplateWarnings(text);
  if (std::string error = RewriteTemplate(file, text, options.force, notes); !error.empty())
    return Refuse(path, error);
  if (std::string error = ReplaceWholeFile(target, file, path); !error.empty()) return Refuse(named, error);
  for (const std::string& note : notes) std::fprintf(stderr, "opener-template: %s: warning: %s\n", named.c_str(), note.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStdio();
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) return Usage("no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "/?") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("opener-template %s\n", OPENER_VERSION);
    return 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  Options options;
  if (std::string error = ParseOptions(args, options); !error.empty()) return Usage(error);
  if (options.help && (command == "show" || command == "set")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "show") return Show(options);
  if (command == "set") return Set(options);
  return Usage("unknown command " + command);
}
