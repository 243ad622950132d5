// opener-template: shows and safely rewrites the command template stored in opener.exe,
// and says what a launcher will start.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "command.h"
#include "console.h"
#include "path_fold.h"
#include "paths.h"
#include "setup.h"
#include "shipped_template.h"
#include "template_file.h"
#include "template_text.h"

namespace {

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
    if (!optionsEnded && (arg == "/?" || arg == "-?" || arg == "/h" || arg == "/H"))
      parsed.help = true;  // Windows' own ways to ask
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

int Show(const Options& options) {
  if (options.operands.size() != 1) return Usage("show takes one FILE");
  LauncherFile launcher;
  if (int failed = ReadLauncherOperand(options.operands[0], launcher); failed != 0) return failed;
  std::string text = Printable(launcher.Template()) + "\n";
  if (options.offset) text += std::to_string(launcher.offset) + "\n";
  return Print(text, "the template");
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
    if (!kOnWindows) return Usage("check " + first + " asks Windows' registry, and runs on Windows only");
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
  if (!kOnWindows) return Usage("setup sets up Windows (its registry and Send To), and runs on Windows only");
  if (options.operands.size() > 1) return Usage("setup takes at most one FILE");
  SetupIo io = SystemSetupIo();
  io.readLine = ReadInputLine;
  io.write = [](const std::string& text) { WriteText(stdout, text); };
  io.run = RunCommandLine;
  io.onInterrupt = SayOnInterrupt;
  io.tool = QuotedArgument(OwnProgramPath());
  io.shippedTemplate = kShippedTemplate;
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
    {"update",
     {},
     UpdateLaunchers,
     "update FOLDER|FILE ...",
     R"(  update          (Windows) replace each launcher of an earlier release in the
                  folders and files named by this release's launcher of its kind,
                  keeping its template and path (so its registrations hold); run
                  it from the new release's folder before unzipping over the old
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

// " (did you mean NAME?)" for the command whose name `typed` misspells (at most two letters
// added, dropped, changed or swapped), or "".
std::string DidYouMean(const std::string& typed) {
  auto distance = [](const std::string& a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
      for (std::size_t j = 1; j <= b.size(); ++j) {
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
        if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    return d[a.size()][b.size()];
  };
  const std::string lower = AsciiLower(typed);
  for (const Command& command : kCommands)
    if (distance(lower, command.name) <= 2) return " (did you mean " + std::string(command.name) + "?)";
  return "";
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
  if (!command) return Usage("unknown command " + name + DidYouMean(name));
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
