// opener-template register and unregister: the command lines around file_types.h's
// decisions, and what they say of what Windows then starts.
#include <cstdlib>
#include <string>

#include "command.h"
#include "command_line.h"
#include "console.h"
#include "file_identity.h"
#include "paths.h"
#include "program_search.h"
#include "registry.h"
#include "send_to.h"
#include "shell_queries.h"
#include "template_text.h"

namespace {

// The file types that follow FILE, each checked: 0, or the exit code of the one that is wrong.
int ReadTypes(const Options& options, std::vector<std::string>& types) {
  types.assign(options.operands.begin() + 1, options.operands.end());
  for (const std::string& type : types)
    if (std::string error = FileTypeError(type, Pathext()); !error.empty()) return Refuse(type, error);
  return 0;
}

// For each type, what Windows now starts for it; after register, a choice of the user's
// that comes first, and how to give the type to the launcher all the same.
std::string WhatWindowsStarts(const std::string& launcher, const std::vector<std::string>& types, bool registered) {
  std::string out;
  for (const std::string& type : types) {
    const TypeAnswer answer = AskWindowsAbout(type);
    out += type + ": Windows starts " + (answer.command.empty() ? "nothing" : Printable(answer.command)) + "\n";
    if (registered && !answer.userChoice.empty() && answer.userChoice != ClassOf(launcher))
      out += "  but " + std::string(kUserChoiceComesFirst) + " (" + Printable(answer.userChoice) +
             "), and no program may change that choice: right-click a " + type +
             " file, \"Open with\", \"Choose another app\", pick " + Printable(FileNameOf(launcher)) +
             " (or \"More apps\", \"Look for another app on this PC\", " + Printable(launcher) +
             ") and tick \"Always use this app\"\n";
  }
  return out;
}

std::string WithoutLnk(const std::string& name) { return name.size() > 4 ? name.substr(0, name.size() - 4) : name; }

std::string Said(const std::vector<std::string>& said) {
  std::string out;
  for (const std::string& line : said) out += "note: " + Printable(line) + "\n";
  return out;
}

// What register set up beside the types, in words: the menus' entries, and the Send To
// shortcut by the name it has.
std::string WhatWasSetUp(const Places& places, const std::string& editorName, const std::string& shortcut,
                         bool allUsers) {
  std::string out;
  const std::string where = allUsers ? "every user's" : "your";
  if (places.menu)
    out += "menu: \"Edit with " + Printable(editorName) + "\" on " + where + " right-click menu of every file\n";
  if (places.folders)
    out += "folders: \"Open with " + Printable(editorName) + "\" on " + where +
           " right-click menu of every folder and of a folder's empty space\n";
  if (places.sendTo && !shortcut.empty())
    out += "send to: " + Printable(WithoutLnk(FileNameOf(shortcut))) + " in your Send To menu\n";
  if ((places.menu || places.folders) && WindowsBuild() >= 22000)
    out +=
        "  on Windows 11 these entries appear under \"Show more options\" (Shift+F10), where Windows 11 puts "
        "every entry of this kind\n";
  return out;
}

}  // namespace

int Register(const Options& options) {
  if (!kOnWindows) return Usage("register changes Windows' registry, and runs on Windows only");
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
  return Print(WhatWindowsStarts(registration.launcher, registration.types, true) +
                   WhatWasSetUp(registration.places, registration.editorName, outcome.shortcut, options.allUsers) +
                   Said(outcome.said),
               "what Windows starts");
}

// unregister needs FILE's path alone: a launcher moved or deleted since is unregistered all the same.
int Unregister(const Options& options) {
  if (!kOnWindows) return Usage("unregister changes Windows' registry, and runs on Windows only");
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
  std::string out = Printable(launcher) + ": ";
  if (!gone.empty())
    out += "unregistered " + Printable(gone) +
           (outcome.classGone ? "" : "; it stays registered for " + Printable(outcome.left));
  else
    out += outcome.classGone ? "unregistered its own class (it had nothing left)"
                             : "nothing was unregistered; it stays registered for " + Printable(outcome.left);
  out += "\n" + WhatWindowsStarts(launcher, outcome.types, false) + Said(outcome.said);
  // Registered in the other root too: say so, with the command for it.
  if (const std::string there = RegisteredWhere(*OpenClasses(!options.allUsers), launcher); !there.empty())
    out += "note: it is also registered " + std::string(options.allUsers ? "for you alone" : "for all users") + " (" +
           Printable(there) + "); to unregister that too: " +
           Printable(CommandLineOf(
               options.allUsers ? std::vector<std::string>{OwnProgramPath(), "unregister", launcher}
                                : std::vector<std::string>{OwnProgramPath(), "unregister", launcher, "--all-users"})) +
           "\n";
  return Print(out, "what was removed");
}
