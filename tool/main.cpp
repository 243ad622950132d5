// opener-template: shows and safely rewrites the command template stored in opener.exe,
// and says what a launcher will start.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "console.h"
#include "file_io.h"
#include "file_types.h"
#include "launcher_file.h"
#include "program_search.h"
#include "setup.h"
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
  Places places;
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
// The places' switches are file_types.h's kPlaceNames.

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

// Reads the option args[i] (and its value, args[i + 1]), refusing one that `command` does
// not take; returns "" or what is wrong with it.
std::string ParseOption(const std::vector<std::string>& args, std::size_t& i, const Command* command,
                        Options& options) {
  const std::string& arg = args[i];
  const Option* option = nullptr;
  for (const Option& known : kOptions) option = known.name == arg ? &known : option;
  const PlaceName* place = nullptr;
  for (const PlaceName& known : kPlaceNames) place = known.option == arg ? &known : place;
  if (option == nullptr && place == nullptr) return "unknown option " + arg;
  if (command == nullptr || std::find(command->options.begin(), command->options.end(), arg) == command->options.end())
    return (command ? std::string(command->name) : "this command") + " takes no option " + arg;
  if (place) {
    options.places.*place->flag = true;
    return "";
  }
  if (option->flag) {
    options.*option->flag = true;
    return "";
  }
  std::optional<std::string>& value = options.*option->value;
  if (i + 1 >= args.size()) return arg + " needs a value";
  const std::string& given = args[++i];
  if (value) return arg + " given twice";
  value = given;
  return "";
}

// Reads the options after the command, refusing those that `command` does not take
// (none: the command is not known yet); returns "" or the first thing wrong with them.
// --help and --version are found wherever they stand, after a wrong option too.
std::string ParseOptions(const std::vector<std::string>& args, const Command* command, Parsed& parsed) {
  std::string wrong;
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
    else if (std::string error = ParseOption(args, i, command, parsed.options); wrong.empty())
      wrong = error;
  }
  return wrong;
}

// Standard input is for --from-file only: a launcher is a file, never a stream.
std::string CheckOperand(const std::string& path, const char* what) {
  return path == "-" ? std::string(what) + " cannot be '-': only --from-file reads standard input" : "";
}

// Reads the launcher FILE (with `hold`, held open while it runs) and finds its block;
// returns 0, or the exit code of what was wrong, said.
int ReadLauncherOperand(const std::string& path, LauncherFile& launcher, bool hold = false) {
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  if (std::string error = ReadLauncher(path, launcher, hold); !error.empty()) return Refuse(path, error);
  return 0;
}

int Show(const Options& options) {
  if (options.operands.size() != 1) return Usage("show takes one FILE");
  LauncherFile launcher;
  if (int failed = ReadLauncherOperand(options.operands[0], launcher); failed != 0) return failed;
  std::string text = Printable(launcher.Template()) + "\n";
  if (options.offset) text += std::to_string(launcher.offset) + "\n";
  return Print(text, "the template");
}

// The template --program PATH [--arguments TEXT] stands for, in the one shape that serves
// every caller: "PATH" TEXT "%s". Returns what is wrong with PATH, or "".
std::string ProgramTemplate(const std::string& path, const std::optional<std::string>& arguments, std::string& text) {
  if (path.empty()) return "--program names no program";
  if (path.find('"') != std::string::npos) return "the program path holds a double quote, which no file name holds";
  if (Printable(path) != path)
    return "the program path holds a control character or bytes of no UTF-8 character (shown as <0xNN>)";
  if (path.find(kPlaceholder) != std::string::npos)
    return "the program path holds %s, which the launcher would replace with the file name (a template has no "
           "escape for it); rename or move the program";
  text = "\"" + path + "\" " + (arguments ? *arguments + " " : "") + "\"%s\"";
  return "";
}

// A template whose program is the launcher `target` itself would start it again and
// again, without end. Returns that, or "".
std::string StartsItself(const std::string& text, const std::string& target) {
  if (!kSeesWindowsFiles) return "";
  const ProgramWords words = FindProgram(text);
  const std::string found = FindTemplateProgram(words.meant, FolderOf(FullPathOf(target)));
  const std::string program = found.empty() && IsFullPath(words.meant) ? WithDefaultExtension(words.meant) : found;
  if (program.empty() || !SameFile(program, target)) return "";
  return StartsItselfMessage(program);
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
    if (std::string error = ProgramTemplate(*options.program, options.arguments, text); !error.empty())
      return Refuse(path, error);
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
  std::vector<std::string> notes = TemplateWarnings(text, LegacyCodePage());
  if (options.program && kSeesWindowsFiles &&
      FindTemplateProgram(*options.program, FolderOf(FullPathOf(target))).empty())
    notes.push_back("Windows finds no program " + *options.program + " (" +
                    (IsFullPath(*options.program) ? std::string("there") : WhereWindowsLooks(*options.program)) +
                    "): the launcher will start nothing until it exists");
  if (std::string error = RewriteTemplate(file, text, options.force, notes); !error.empty()) return Refuse(path, error);
  if (std::string error = ReplaceWholeFile(target, file, path); !error.empty()) return Refuse(named, error);
  for (const std::string& note : notes) Warn(named, note);
  return 0;
}

// The file types that follow FILE, each checked: 0, or the exit code of the one that is wrong.
int ReadTypes(const Options& options, std::vector<std::string>& types) {
  const char* pathext = std::getenv("PATHEXT");
  types.assign(options.operands.begin() + 1, options.operands.end());
  for (const std::string& type : types)
    if (std::string error = FileTypeError(type, pathext ? pathext : ""); !error.empty()) return Refuse(type, error);
  return 0;
}

// For each type, what Windows now starts for it, and a choice of the user's that comes first.
std::string WhatWindowsStarts(const std::string& launcher, const std::vector<std::string>& types) {
  std::string out;
  for (const std::string& type : types) {
    const TypeAnswer answer = AskWindowsAbout(type);
    out += type + ": Windows starts " + (answer.command.empty() ? "nothing" : Printable(answer.command)) + "\n";
    if (!answer.userChoice.empty() && answer.userChoice != ClassOf(launcher))
      out += "  but on Windows 8 and later the program picked with \"Open with\" and \"Always\" comes first (" +
             Printable(answer.userChoice) + "), and no program may change that choice: right-click a " + type +
             " file, \"Open with\", \"Choose another app\", pick " + Printable(FileNameOf(launcher)) +
             " (or \"More apps\", \"Look for another app on this PC\", " + Printable(launcher) +
             ") and tick \"Always use this app\"\n";
  }
  return out;
}

std::string Said(const std::vector<std::string>& said) {
  std::string out;
  for (const std::string& line : said) out += "note: " + Printable(line) + "\n";
  return out;
}

// What register set up beside the types, in words.
std::string WhatWasSetUp(const Places& places, const std::string& editorName, bool allUsers) {
  std::string out;
  const std::string where = allUsers ? "every user's" : "your";
  if (places.menu)
    out += "menu: \"Edit with " + Printable(editorName) + "\" on " + where + " right-click menu of every file\n";
  if (places.folders)
    out += "folders: \"Open with " + Printable(editorName) + "\" on " + where +
           " right-click menu of every folder and of a folder's empty space\n";
  if (places.sendTo) out += "send to: " + Printable(editorName) + " in your Send To menu\n";
  if ((places.menu || places.folders) && WindowsBuild() >= 22000)
    out +=
        "  on Windows 11 these entries appear under \"Show more options\" (Shift+F10), where Windows 11 puts "
        "every entry of this kind\n";
  return out;
}

int Register(const Options& options) {
  if (!kHasRegistry) return Usage("register changes Windows' registry, and runs on Windows only");
  if (options.operands.empty() || (options.operands.size() < 2 && !options.places.Any()))
    return Usage("register takes FILE and one or more file types (.txt) or places (--menu, --folders, --send-to)");
  if (options.places.sendTo && options.allUsers)
    return Usage("Send To is each user's own: --send-to cannot go with --all-users");
  const std::string& path = options.operands[0];
  LauncherFile launcher;
  if (int failed = ReadLauncherOperand(path, launcher); failed != 0) return failed;
  if (!launcher.ours) return Refuse(path, "not a launcher of this release");
  Registration registration;
  if (int failed = ReadTypes(options, registration.types); failed != 0) return failed;
  registration.places = options.places;
  registration.launcher = FullPathOf(path);
  registration.editor = FindTemplateProgram(FindProgram(launcher.Template()).meant, FolderOf(registration.launcher));
  registration.editorName =
      ProgramDisplayName(registration.editor.empty() ? registration.launcher : registration.editor);
  const RegistryOutcome outcome = RegisterLauncher(*OpenClasses(options.allUsers), *OpenSendTo(), registration);
  if (!outcome.error.empty()) return Refuse(path, outcome.error);
  TellShellAssociationsChanged();
  return Print(WhatWindowsStarts(registration.launcher, registration.types) +
                   WhatWasSetUp(registration.places, registration.editorName, options.allUsers) + Said(outcome.said),
               "what Windows starts");
}

// unregister needs FILE's path alone: a launcher moved or deleted since is unregistered all the same.
int Unregister(const Options& options) {
  if (!kHasRegistry) return Usage("unregister changes Windows' registry, and runs on Windows only");
  if (options.operands.empty())
    return Usage("unregister takes FILE, and the file types and places to remove (default: all)");
  const std::string& path = options.operands[0];
  if (std::string error = CheckOperand(path, "FILE"); !error.empty()) return Usage(error);
  Unregistration what;
  if (int failed = ReadTypes(options, what.types); failed != 0) return failed;
  what.places = options.places;
  const std::string launcher = FullPathOf(path);
  const RegistryOutcome outcome = UnregisterLauncher(*OpenClasses(options.allUsers), *OpenSendTo(), launcher, what);
  if (!outcome.error.empty()) return Refuse(path, outcome.error);
  if (outcome.nothingRegistered) {
    if (!RegisteredWhere(*OpenClasses(!options.allUsers), launcher).empty())
      return Refuse(path, options.allUsers ? "nothing is registered for all users; it is registered for you alone: "
                                             "leave out --all-users"
                                           : "nothing is registered for you; it is registered for all users: use "
                                             "--all-users");
    return Print(Printable(launcher) + ": nothing is registered for it " +
                     (options.allUsers ? "for all users" : "for you") + "; nothing was changed\n",
                 "what was removed");
  }
  TellShellAssociationsChanged();
  const std::string gone = InWords(outcome.types, outcome.places);
  std::string out = Printable(launcher) + ": unregistered " +
                    (gone.empty() ? "its own class (it had nothing left)" : Printable(gone)) + "\n";
  return Print(out + WhatWindowsStarts(launcher, outcome.types) + Said(outcome.said), "what was removed");
}

// check FILE [TEXT] and check .EXT [TEXT].
int Check(const Options& options) {
  if (options.operands.empty() || options.operands.size() > 2)
    return Usage("check takes FILE (or a file type, .txt) and an optional TEXT");
  const std::string& first = options.operands[0];
  const std::optional<std::string> text =
      options.operands.size() == 2 ? std::optional<std::string>(options.operands[1]) : std::nullopt;
  CheckReport report;
  if (first.size() > 1 && first[0] == '.' && first.find_first_of("\\/") == std::string::npos && first != "..") {
    if (!kHasRegistry) return Usage("check " + first + " asks Windows' registry, and runs on Windows only");
    report = CheckFileType(first, text);
  } else {
    LauncherFile launcher;
    if (int failed = ReadLauncherOperand(first, launcher, true); failed != 0) return failed;
    report = CheckLauncher(first, launcher, text);
  }
  if (int printed = Print(report.lines, "the check"); printed != 0) return printed;
  return report.fails ? kRefused : 0;
}

int RunCommandLine(std::vector<std::string> args);

// setup [FILE]: the dialogue, each step run as its own command.
int Setup(const Options& options) {
  if (!kHasRegistry) return Usage("setup sets up Windows (its registry and Send To), and runs on Windows only");
  if (options.operands.size() > 1) return Usage("setup takes at most one FILE");
  SetupIo io{ReadInputLine, [](const std::string& text) { WriteText(stdout, text); }, RunCommandLine, SayOnInterrupt};
  return RunSetup(options.operands.empty() ? std::nullopt : std::optional<std::string>(options.operands[0]),
                  FolderOf(OwnProgramPath()), io);
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
     {"--all-users", "--menu", "--folders", "--send-to"},
     Register,
     "register FILE [.EXT ...] [--menu] [--folders] [--send-to] [--all-users]",
     R"(  register        (Windows) make the launcher FILE open files of these types, and
                  offer it in "Open with": for you, or with --all-users for every
                  user (as an administrator); says what Windows then starts
    --menu        "Edit with EDITOR" on the right-click menu of every file
    --folders     "Open with EDITOR" on the menu of every folder and its background
    --send-to     EDITOR in your Send To menu (not with --all-users)
)"},
    {"setup",
     {},
     Setup,
     "setup [FILE]",
     R"(  setup           (Windows) a short dialogue that points the launcher FILE (default:
                  opener.exe beside this tool) at your editor and gives it file types,
                  the right-click menu and Send To; what a double-click runs
)"},
    {"unregister",
     {"--all-users", "--menu", "--folders", "--send-to"},
     Unregister,
     "unregister FILE [.EXT ...] [--menu] [--folders] [--send-to] [--all-users]",
     R"(  unregister      (Windows) give back what register changed for FILE (these types
                  and places, or all), byte for byte; FILE need not exist any more
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

// Runs the command that `args` name, as the tool's command line would.
int RunCommandLine(std::vector<std::string> args) {
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

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStdio();
  std::vector<std::string> args = ProgramArguments(argc, argv);
  // A double-click opens a console for us alone: the dialogue sets the launcher up.
  if (args.empty() && StartedByDoubleClick()) args = {"setup"};
  return RunCommandLine(args);
}
