// opener-template: shows and safely rewrites the command template stored in opener.exe,
// and says what a launcher will start.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "argument_tail.h"
#include "dry_run.h"
#include "file_io.h"
#include "file_types.h"
#include "program_search.h"
#include "system.h"
#include "launch_result.h"
#include "template_block.h"
#include "template_file.h"
#include "template_text.h"

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

// The help's parts around the commands' own lines.
constexpr std::string_view kHelpIntro = R"(
Shows or replaces the command template stored in opener.exe. The launcher puts the text
it is started with in place of each %s in the template, and starts the result.

)";
constexpr std::string_view kHelpEnd = R"(  help, --help, /?  show this help
  --version       show the version

FILE and OUT must be regular files; a read-only file is refused.
Exit codes: 0 done, 1 refused or failed (the file is left as it was; for check: the
launcher will start nothing, or the template is unusable), 2 usage error.
)";

constexpr const char* kSampleTail = R"(C:\notes\plan.txt)";

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

// Prints `text` on standard output; a failure (a full disk) is said, with exit code 1.
int Print(const std::string& text, const char* what) {
  if (WriteText(stdout, text)) return 0;
  WriteText(stderr, std::string("opener-template: cannot print ") + what + "\n");
  return kRefused;
}

// What a command's options gave.
struct Options {
  bool offset = false;
  bool force = false;
  bool allUsers = false;
  std::optional<std::string> fromFile;
  std::optional<std::string> output;
  std::optional<std::string> program;
  std::optional<std::string> arguments;
  std::vector<std::string> operands;
};

// Every option: a switch, or one that takes a value.
struct Option {
  std::string_view name;
  bool Options::*flag;
  std::optional<std::string> Options::*value;
};
constexpr Option kOptions[] = {
    {"--offset", &Options::offset, nullptr},      {"--force", &Options::force, nullptr},
    {"--all-users", &Options::allUsers, nullptr}, {"--from-file", nullptr, &Options::fromFile},
    {"--output", nullptr, &Options::output},      {"--program", nullptr, &Options::program},
    {"--arguments", nullptr, &Options::arguments}};

// The commands: name, the options each takes, what runs it, and its lines of help.
struct Command {
  std::string_view name;
  std::vector<std::string_view> options;
  int (*run)(const Options&);
  std::string_view usage;  // its lines of the usage, each after "opener-template "
  std::string_view help;   // what it does, and its options
};

// What the arguments after the command ask for.
struct Parsed {
  bool help = false;
  bool version = false;
  Options options;
};

// Reads the options after the command, refusing those that `command` does not take
// (none: the command is not known yet); returns "" or what is wrong with them.
std::string ParseOptions(const std::vector<std::string>& args, const Command* command, Parsed& parsed) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "/?")
      parsed.help = true;  // Windows' own way to ask
    else if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-")
      parsed.options.operands.push_back(arg);
    else if (arg == "--")
      optionsEnded = true;
    else if (arg == "--help" || arg == "-h")
      parsed.help = true;
    else if (arg == "--version")
      parsed.version = true;
    else {
      const Option* option = nullptr;
      for (const Option& known : kOptions) option = known.name == arg ? &known : option;
      if (option == nullptr) return "unknown option " + arg;
      if (command == nullptr ||
          std::find(command->options.begin(), command->options.end(), arg) == command->options.end())
        return (command ? std::string(command->name) : "this command") + " takes no option " + arg;
      if (option->flag) {
        parsed.options.*option->flag = true;
        continue;
      }
      std::optional<std::string>& value = parsed.options.*option->value;
      if (value) return arg + " given twice";
      if (i + 1 >= args.size()) return arg + " needs a value";
      value = args[++i];
    }
  }
  return "";
}

// Standard input is for --from-file only: a launcher is a file, never a stream.
std::string CheckOperand(const std::string& path, const char* what) {
  return path == "-" ? std::string(what) + " cannot be '-': only --from-file reads standard input" : "";
}

// A launcher's bytes, and where its block lies in them.
struct LauncherFile {
  std::string bytes;
  std::size_t offset = 0;
  std::string Template() const { return ReadStoredTemplate(bytes, offset); }
};

// Reads the launcher FILE and finds its block; returns 0, or the exit code of what was
// wrong, said.
int ReadLauncher(const std::string& path, LauncherFile& launcher) {
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  if (std::string error = ReadWholeFile(path, launcher.bytes, kMaxExecutableSize, true); !error.empty())
    return Refuse(path, error);
  if (std::string error = LocateTemplateBlock(launcher.bytes, launcher.offset); !error.empty())
    return Refuse(path, error);
  return 0;
}

int Show(const Options& options) {
  if (options.operands.size() != 1) return Usage("show takes one FILE");
  LauncherFile launcher;
  if (int failed = ReadLauncher(options.operands[0], launcher); failed != 0) return failed;
  std::string text = Printable(launcher.Template()) + "\n";
  if (options.offset) text += std::to_string(launcher.offset) + "\n";
  return Print(text, "the template");
}

// What set warns of for `text`, the code page Windows reads it in among them.
std::vector<std::string> Warnings(const std::string& text) {
  std::vector<std::string> warnings = TemplateWarnings(text);
  bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (unsigned page = LegacyCodePage(); page != 0 && !ascii)
    warnings.push_back("this Windows reads programs' text in code page " + std::to_string(page) +
                       ", not UTF-8: the launcher here will read the template's non-ASCII characters in that code "
                       "page, so they will come out wrong (Windows 10 version 1903 and later read UTF-8)");
  return warnings;
}

// The template --program PATH [--arguments TEXT] stands for, in the one shape that serves
// every caller: "PATH" TEXT "%s". Returns what is wrong with PATH, or "".
std::string ProgramTemplate(const Options& options, std::string& text) {
  const std::string& path = *options.program;
  if (path.empty()) return "--program names no program";
  if (path.find('"') != std::string::npos) return "the program path holds a double quote, which no file name holds";
  if (Printable(path) != path)
    return "the program path holds a control character or bytes of no UTF-8 character (shown as <0xNN>)";
  if (path.find(kPlaceholder) != std::string::npos)
    return "the program path holds %s, which the launcher would replace with the file name (a template has no "
           "escape for it); rename or move the program";
  text = "\"" + path + "\" " + (options.arguments ? *options.arguments + " " : "") + "\"%s\"";
  return "";
}

// The folder of a full path, with its last separator.
std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

// The file Windows starts for the program name `name` in a launcher in `folder`, or "".
std::string ProgramFile(std::string_view name, const std::string& folder) {
  return name.empty() ? "" : FindProgramFile(WithDefaultExtension(name), folder);
}

// A template whose program is the launcher `target` itself would start it again and
// again, without end. Returns that, or "".
std::string StartsItself(const std::string& text, const std::string& target) {
  if (!kSeesWindowsFiles) return "";
  const ProgramWords words = FindProgram(text);
  const std::string found = ProgramFile(words.meant, FolderOf(FullPathOf(target)));
  const std::string program = found.empty() && IsFullPath(words.meant) ? WithDefaultExtension(words.meant) : found;
  if (program.empty() || !SameFile(program, target)) return "";
  return "the template starts the launcher itself (" + program +
         "), which would start itself again and again, "
         "without end; name another program";
}

int Set(const Options& options) {
  if (options.arguments && !options.program) return Usage("--arguments goes with --program");
  if (options.program && options.fromFile) return Usage("--program and --from-file cannot both give the template");
  const bool templateGiven = options.fromFile || options.program;
  if (options.operands.size() != (templateGiven ? 1u : 2u))
    return Usage(options.program    ? "set with --program takes one FILE and no TEMPLATE"
                 : options.fromFile ? "set with --from-file takes one FILE"
                                    : "set takes FILE and TEMPLATE");
  const std::string& path = options.operands[0];
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  if (options.output)
    if (std::string error = CheckOperand(*options.output, "OUT"); !error.empty()) return Usage(error);

  std::string text;
  if (options.fromFile) {
    if (std::string error = ReadWholeFile(*options.fromFile, text, kMaxTemplateFileSize, false); !error.empty())
      return Refuse(*options.fromFile, error);
    if (std::string error = TemplateFromFile(text); !error.empty()) return Refuse(*options.fromFile, error);
  } else if (options.program) {
    if (std::string error = ProgramTemplate(options, text); !error.empty()) return Refuse(path, error);
  } else {
    text = options.operands[1];
  }

  // What is written: FILE itself (a link's target), or OUT.
  std::string target;
  const std::string& named = options.output ? *options.output : path;
  if (std::string error = ReplaceableTarget(named, target); !error.empty()) return Refuse(named, error);

  std::string file;
  if (std::string error = ReadWholeFile(path, file, kMaxExecutableSize, true); !error.empty())
    return Refuse(path, error);
  if (std::string error = StartsItself(text, target); !error.empty()) return Refuse(path, error);
  std::vector<std::string> notes = Warnings(text);
  if (options.program && kSeesWindowsFiles && ProgramFile(*options.program, FolderOf(FullPathOf(target))).empty())
    notes.push_back("Windows finds no program " + *options.program + " (" +
                    (IsFullPath(*options.program) ? std::string("there") : WhereWindowsLooks(*options.program)) +
                    "): the launcher will start nothing until it exists");
  if (std::string error = RewriteTemplate(file, text, options.force, notes); !error.empty()) return Refuse(path, error);
  if (std::string error = ReplaceWholeFile(target, file, path); !error.empty()) return Refuse(named, error);
  for (const std::string& note : notes) Warn(named, note);
  return 0;
}

// Why the launcher started nothing, from its exit code.
std::string WhyNothingStarted(const DryRun& run) {
  switch (run.exitCode) {
    case kFileNotFound:
      return "Windows finds no such program (file not found, exit code 2)";
    case kPathNotFound:
      return "the program's folder does not exist (path not found, exit code 3)";
    case kBadFormat:
      return "the file Windows finds there is no program it can start (bad format, exit code 11)";
    case kCommandTooLong:
      return "the command is longer than Windows starts (exit code 206)";
    case kOutOfResources:
      return "Windows is out of memory or resources (exit code 8)";
    case kStarted:
      return "the launcher ended with exit code 0, but no program was seen starting";
    default:
      return "the launcher ended with exit code " + std::to_string(run.exitCode) + ": " + run.exitText;
  }
}

// A batch file named in cmd.exe's command line: where cmd.exe finds it, or that it does
// not. A relative name is looked for in cmd.exe's current folder (the caller's), then on
// PATH, never in the launcher's folder.
std::string BatchVerdict(const DryRun& run, const std::string& batch, bool& startsNothing) {
  const std::string by = "   (a batch file, run by " + Printable(run.program);
  if (IsFullPath(batch)) return "program:  " + Printable(batch) + by + ")\n";
  const std::string found = FindProgramFile(batch, "");
  const std::string where = "cmd.exe looks for " + Printable(batch) +
                            " in its current folder (the caller's, not the launcher's) and then on PATH";
  if (found.empty()) {
    startsNothing = true;
    return "program:  none: " + where +
           ", and finds it in neither here: cmd.exe starts and opens nothing; give "
           "the batch file's full path\n";
  }
  return "program:  " + Printable(found) + by + ")\nwarning:  " + where +
         ": found here, but a caller in another folder gets nothing; give the batch file's full path\n";
}

// Whether `file` is the program the dry run saw starting: the file of the image Windows
// mapped, or the file its image path names (Wine maps its own programs from elsewhere).
bool IsStarted(const DryRun& run, const std::string& file) {
  return (run.programId.index != 0 && IdOfFile(file) == run.programId) || SameFile(file, run.program);
}

// What Windows did with the launcher's command, from the launcher's dry run. Returns the
// lines to print; `startsNothing` is set when no program starts. Programs are compared as
// files, not as spellings: the file Windows finds for the name the template means (or a
// shorter reading of it that names a program) is the file it started, or no such file
// exists and Windows started the only program there is.
std::string Verdict(const DryRun& run, const ProgramWords& words, bool& startsNothing) {
  std::string out = "ran:      " + Printable(run.commandLine) +
                    "   (as a file association would, under the debugger; what it starts is ended at once)\n";
  if (run.program.empty()) {
    startsNothing = true;
    return out + "program:  none: " + WhyNothingStarted(run) + "; the launcher starts nothing\n";
  }
  if (IsStarted(run, run.launcher)) {
    startsNothing = true;
    return out + "program:  none: the template starts the launcher itself (" + Printable(run.program) +
           "), which would start itself again and again, without end; point it at another program\n";
  }
  const std::string batch = BatchFileOf(run.programLine);
  if (IsBatchName(words.meant) && !batch.empty()) return out + BatchVerdict(run, batch, startsNothing);

  out += "program:  " + Printable(run.program) + "   (Windows starts it)\n";
  const std::string folder = FolderOf(run.launcher);
  const std::string meant = ProgramFile(words.meant, folder);
  bool started = meant.empty();
  for (std::string_view name : {words.meant, words.shorter}) {
    const std::string file = ProgramFile(name, folder);
    if (file.empty()) continue;
    started = started || IsStarted(run, file);
  }
  if (!started)
    out += "warning:  this program, not " + Printable(meant) +
           ", is what Windows will start; put the program's path in double quotes\n";
  return out;
}

// Without Windows: the programs Windows tries, in its order, and where.
std::string ListCandidates(const std::string& command, bool& startsNothing) {
  const std::vector<std::string> candidates = ProgramCandidates(command);
  if (candidates.empty()) {
    startsNothing = true;
    return "program:  none: Windows reads no program name in the command, and the launcher starts nothing\n";
  }
  std::string out = std::string("program:  not checked: ") +
                    (kCanDryRun ? ""
                                : "only Windows sees its files (on Windows, check runs the launcher and asks "
                                  "Windows). ") +
                    "Windows tries, in this order:\n";
  for (const std::string& candidate : candidates) {
    const std::string where = WhereWindowsLooks(candidate);
    out += "            " + Printable(candidate) + (where.empty() ? "" : "   (" + where + ")") + "\n";
  }
  return out;
}

// A launcher of ours, read whole: 0, or the exit code of what was wrong, said.
int ReadOurLauncher(const std::string& path, LauncherFile& launcher) {
  if (int failed = ReadLauncher(path, launcher); failed != 0) return failed;
  if (!IsOurLauncher(launcher.bytes, launcher.offset)) return Refuse(path, "not a launcher of this release");
  return 0;
}

// The registration of the launcher FILE, the first operand, for the types that follow.
int ReadRegistration(const Options& options, const char* command, Registration& registration) {
  if (!kHasRegistry) return Usage(std::string(command) + " changes Windows' registry, and runs on Windows only");
  const std::string& path = options.operands[0];
  LauncherFile launcher;
  if (int failed = ReadOurLauncher(path, launcher); failed != 0) return failed;
  const char* pathext = std::getenv("PATHEXT");
  for (auto type = options.operands.begin() + 1; type != options.operands.end(); ++type)
    if (std::string error = FileTypeError(*type, pathext ? pathext : ""); !error.empty()) return Refuse(*type, error);
  registration.launcher = FullPathOf(path);
  registration.editor = ProgramFile(FindProgram(launcher.Template()).meant, FolderOf(registration.launcher));
  registration.types.assign(options.operands.begin() + 1, options.operands.end());
  registration.allUsers = options.allUsers;
  return 0;
}

// For each type, what Windows now starts for it, and a choice of the user's that comes first.
std::string WhatWindowsStarts(const Registration& registration) {
  std::string out;
  for (const std::string& type : registration.types) {
    const TypeAnswer answer = AskWindowsAbout(type);
    out += type + ": Windows starts " + (answer.command.empty() ? "nothing" : Printable(answer.command)) + "\n";
    if (!answer.userChoice.empty() && answer.userChoice != ClassOf(registration.launcher))
      out += "  but on Windows 8 and later the program picked with \"Open with\" and \"Always\" comes first (" +
             Printable(answer.userChoice) + "), and no program may change that choice: right-click a " + type +
             " file, \"Open with\", \"Choose another app\", pick " +
             Printable(registration.launcher.substr(registration.launcher.find_last_of('\\') + 1)) +
             " (or \"More apps\", \"Look for another app on this PC\", " + Printable(registration.launcher) +
             ") and tick \"Always use this app\"\n";
  }
  return out;
}

int Register(const Options& options) {
  if (options.operands.size() < 2) return Usage("register takes FILE and one or more file types (.txt)");
  Registration registration;
  if (int failed = ReadRegistration(options, "register", registration); failed != 0) return failed;
  if (std::string error = RegisterTypes(registration); !error.empty()) return Refuse(options.operands[0], error);
  return Print(WhatWindowsStarts(registration), "what Windows starts");
}

int Unregister(const Options& options) {
  if (options.operands.empty()) return Usage("unregister takes FILE and the file types to remove (default: all)");
  Registration registration;
  if (int failed = ReadRegistration(options, "unregister", registration); failed != 0) return failed;
  if (std::string error = UnregisterTypes(registration); !error.empty()) return Refuse(options.operands[0], error);
  return registration.types.empty() ? 0 : Print(WhatWindowsStarts(registration), "what Windows starts");
}

int Check(const Options& options);

// check .EXT: what Windows starts for the type and, where that is a launcher of ours, its
// own verdict.
int CheckType(const Options& options) {
  const std::string& type = options.operands[0];
  if (!kHasRegistry) return Usage("check " + type + " asks Windows' registry, and runs on Windows only");
  const TypeAnswer answer = AskWindowsAbout(type);
  std::string out = "type:     " + Printable(type) + "\n";
  if (!answer.userChoice.empty())
    out += "note:     on Windows 8 and later the program picked with \"Open with\" and \"Always\" comes first: " +
           Printable(answer.userChoice) + "\n";
  if (answer.command.empty()) {
    Print(out + "command:  none: Windows starts no program for " + Printable(type) + " files\n", "the check");
    return kRefused;
  }
  out += "command:  " + Printable(answer.command) + "   (what Windows starts for these files)\n";
  LauncherFile launcher;
  const bool ours = ReadWholeFile(answer.program, launcher.bytes, kMaxExecutableSize, true).empty() &&
                    LocateTemplateBlock(launcher.bytes, launcher.offset).empty() &&
                    IsOurLauncher(launcher.bytes, launcher.offset);
  out += "launcher: " + Printable(answer.program) + (ours ? "\n" : "   (not a launcher of this release)\n");
  if (int printed = Print(out, "the check"); printed != 0 || !ours) return printed != 0 ? printed : kRefused;
  Options named = options;
  named.operands[0] = answer.program;
  return Check(named);
}

int Check(const Options& options) {
  if (options.operands.empty() || options.operands.size() > 2)
    return Usage("check takes FILE (or a file type, .txt) and an optional TEXT");
  const std::string& first = options.operands[0];
  if (first.size() > 1 && first[0] == '.' && first.find_first_of("\\/") == std::string::npos && first != "..")
    return CheckType(options);
  const std::string& path = options.operands[0];
  LauncherFile launcher;
  if (int failed = ReadLauncher(path, launcher); failed != 0) return failed;
  // Only a launcher of ours is ever run: any other file that holds a block could be any program.
  const bool ours = IsOurLauncher(launcher.bytes, launcher.offset);

  // The launcher is started as a "%1" association starts it: "FILE" "TEXT", or "FILE" TEXT
  // when TEXT brings its own quotes (a quoted name and its options, several names).
  const bool sample = options.operands.size() == 1;
  const std::string given = sample ? kSampleTail : options.operands[1];
  const std::string argument = given.find('"') == std::string::npos ? "\"" + given + "\"" : given;
  const std::string line = "\"" + path + "\" " + argument;
  const std::string tail = FindArgumentTail(line.c_str(), path);
  const std::string text = launcher.Template();
  const std::string command = ExpandStoredTemplate(launcher.bytes, launcher.offset, tail, NameExistsHere);
  std::string out = "template: " + Printable(text) + "\n";
  out += "command:  " + Printable(command) + (sample ? "   (for the sample file name " + given + ")" : "") + "\n";
  int code = 0;
  if (std::string error = CheckTemplateText(text); !error.empty()) {
    out += "problem:  " + error + "\n";
    code = kRefused;
  }

  // On Windows, ask Windows; where it cannot be asked, list what it would try.
  bool startsNothing = false;
  const DryRun run = kCanDryRun && ours ? RunDry(path, argument) : DryRun{};
  if (kCanDryRun && ours && run.failure.empty()) {
    out += Verdict(run, FindProgram(command), startsNothing);
  } else if (std::size_t units = Utf16Length(command); units > kLongestCommand) {
    out += "program:  none: the command is " + std::to_string(units) +
           " UTF-16 characters long, and Windows starts "
           "none longer than " +
           std::to_string(kLongestCommand) + "; the launcher starts nothing\n";
    startsNothing = true;
  } else {
    if (kCanDryRun && ours) out += "note:     Windows could not be asked: " + Printable(run.failure) + "\n";
    out += ListCandidates(command, startsNothing);
  }
  if (kCanDryRun && !ours) {
    out += "not run:  " + Printable(path) + " is not a launcher of this release\n";
    code = kRefused;
  }
  if (startsNothing) code = kRefused;
  for (const std::string& note : Warnings(text)) out += "warning:  " + Printable(note) + "\n";
  if (int printed = Print(out, "the check"); printed != 0) return printed;
  return code;
}

const Command kCommands[] = {
    {"show",
     {"--offset"},
     Show,
     "show [--offset] FILE",
     R"(  show            print the template as the launcher reads it (control characters
                  as <0xNN>)
    --offset      also print the block's offset in the file, on a second line
)"},
    {"set",
     {"--force", "--output", "--program", "--arguments", "--from-file"},
     Set,
     R"(set [--force] [--output OUT] FILE --program PATH [--arguments TEXT]
set [--force] [--output OUT] FILE TEMPLATE
set [--force] [--output OUT] FILE --from-file PATH)",
     R"(  set             write a template (at most {max} bytes, UTF-8, no control character
                  but tab) into the block; nothing else in the file changes but its
                  PE checksum, when it has one. A link FILE: its target is rewritten
    --program     the template "PATH" TEXT "%s", quoted for you: serves file
                  associations, cmd.exe, scripts and git alike
    --arguments   TEXT between the program and the file name (with --program)
    TEMPLATE      the template as it stands
    --from-file   read the template from PATH ('-': standard input), UTF-8 with or
                  without a byte order mark; one trailing newline is dropped
    --output OUT  write the result to OUT and leave FILE as it was
    --force       rewrite a signed file, removing its signature
)"},
    {"check",
     {},
     Check,
     "check FILE [TEXT]\ncheck .EXT [TEXT]",
     R"(  check           print the command the launcher starts when TEXT (default: a
                  sample file name) follows its name, the program Windows starts
                  for it (on Windows: a launcher of this release is run as a "%1"
                  association runs it, and Windows' choice ended at its creation;
                  elsewhere, or for any other file: the names Windows tries, in
                  its order), and what set would warn of; for a file type .EXT:
                  what Windows starts for it and, for a launcher, its check
)"},
    {"register",
     {"--all-users"},
     Register,
     "register FILE .EXT [.EXT ...] [--all-users]",
     R"(  register        (Windows) make the launcher FILE open files of these types, and
                  offer it in "Open with": for you, or with --all-users for every
                  user (as an administrator); says what Windows then starts
)"},
    {"unregister",
     {"--all-users"},
     Unregister,
     "unregister FILE [.EXT ...] [--all-users]",
     R"(  unregister      (Windows) remove what register wrote for FILE (for these types,
                  or all), giving each type the program it had before
)"},
};

// The help, drawn from the commands' rows, with the block's size filled in.
std::string Help() {
  std::string help = "Usage:\n";
  for (const Command& command : kCommands) {
    for (std::size_t start = 0; start < command.usage.size();) {
      const std::size_t end = std::min(command.usage.find('\n', start), command.usage.size());
      help.append("  opener-template ").append(command.usage.substr(start, end - start)).append("\n");
      start = end + 1;
    }
  }
  help += kHelpIntro;
  for (const Command& command : kCommands) help += command.help;
  help += kHelpEnd;
  return help.replace(help.find("{max}"), 5, std::to_string(kMaxTemplateSize));
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStdio();
  std::vector<std::string> args = ProgramArguments(argc, argv);
  if (args.empty() && StartedByDoubleClick()) {
    // A double-click opens a console for us alone, closed as we end: say what we are first.
    WriteText(stdout, std::string("opener-template is a command-line tool: run it from cmd.exe or PowerShell.\n\n") +
                          Help() + "\nPress any key to close this window.\n");
    WaitForKey();
    return 0;
  }
  if (args.empty()) return Usage("no command given");
  const std::string name = args[0];
  if (name == "help") return Print(Help(), "the help");
  const Command* command = nullptr;
  for (const Command& known : kCommands) command = known.name == name ? &known : command;
  if (command) args.erase(args.begin());
  Parsed parsed;
  const std::string error = ParseOptions(args, command, parsed);
  // --help and --version answer whatever else stands beside them.
  if (parsed.help) return Print(Help(), "the help");
  if (parsed.version) return Print(std::string("opener-template ") + OPENER_VERSION + "\n", "the version");
  if (!command) return Usage("unknown command " + name);
  if (!error.empty()) return Usage(error);
  return command->run(parsed.options);
}
