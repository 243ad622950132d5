// The setup dialogue, over SetupIo alone. Its steps, each asked again until its answer is
// one the step takes:
//   1. which launcher: FILE, else opener.exe beside the tool, else asked; what it does now,
//      as check says it; where it is registered already, whether to take it all back;
//   2. the editor, dragged in or typed, with or without quotes (Enter keeps it): set --program;
//   3. the file types and the places: register what is new (all that is kept too, with a
//      new editor), unregister what was dropped;
//   4. what was done, as the commands that do it, and how to take it back.
#include "setup.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "file_identity.h"
#include "launcher_file.h"
#include "path_fold.h"
#include "paths.h"
#include "program_search.h"
#include "registry.h"
#include "shell_queries.h"
#include "template_text.h"

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// A path as a console gives it: dragged, it is quoted when it holds a space.
std::string Unquoted(const std::string& answer) {
  const std::string path = Trimmed(answer);
  return path.size() >= 2 && path.front() == '"' && path.back() == '"' ? path.substr(1, path.size() - 2) : path;
}

class Dialogue {
 public:
  explicit Dialogue(SetupIo& io) : io_(io) {}

  // The answer to `question`; nothing at the end of input.
  std::optional<std::string> Ask(const std::string& question) {
    io_.write("\n" + question + " ");
    std::string line;
    if (!io_.readLine(line)) return std::nullopt;
    return line;
  }
  // Yes or no, `yes` when the answer is empty; asked again for anything else.
  std::optional<bool> AskYesNo(const std::string& question, bool yes) {
    for (;;) {
      const std::optional<std::string> answer = Ask(question + (yes ? " [Y/n]" : " [y/N]"));
      if (!answer) return std::nullopt;
      const std::string word = AsciiLower(Trimmed(*answer));
      if (word.empty()) return yes;
      if (word == "y" || word == "yes") return true;
      if (word == "n" || word == "no") return false;
      io_.write("Please answer y or n.\n");
    }
  }
  // Runs the tool's command `args`; kept for the summary when it succeeds.
  bool Do(const std::vector<std::string>& args) {
    io_.write("\n> " + io_.tool + " " + CommandLineOf(args) + "\n");
    if (io_.run(args) != 0) {
      failed_ = true;
      return false;
    }
    done_.push_back(args);
    io_.onInterrupt("\nStopped." + Summary());
    return true;
  }
  void Say(const std::string& text) { io_.write(text); }

  // What was done so far, as the commands that do it. A command that failed has said
  // itself what it left: nothing then claims that nothing was changed.
  std::string Summary() const {
    std::string out = !done_.empty() ? " What was done, as the commands that do it:\n"
                      : failed_      ? " A step failed: what it left is said above it.\n"
                                     : " Nothing was changed.\n";
    for (const auto& args : done_) out += "  " + io_.tool + " " + CommandLineOf(args) + "\n";
    return out;
  }
  int End(bool complete, const std::string& launcher, const std::string& template_) {
    io_.onInterrupt("");
    std::string out = (complete ? "\nDone." : "\nStopped.") + Summary();
    // What is registered now, and how to take it back; the template as it was.
    std::vector<std::string> types;
    Places places;
    if (!launcher.empty() && io_.registeredFor(launcher, types, places))
      out +=
          "To take the file types and places back: " + io_.tool + " " + CommandLineOf({"unregister", launcher}) + "\n";
    if (!launcher.empty() && !template_.empty())
      out +=
          "To put the template back as it was: " + io_.tool + " " + CommandLineOf({"set", launcher, template_}) + "\n";
    io_.write(out + "\nPress Enter to close.");
    std::string line;
    io_.readLine(line);
    io_.write("\n");
    return complete ? 0 : 1;
  }

 private:
  SetupIo& io_;
  std::vector<std::vector<std::string>> done_;
  bool failed_ = false;
};

// The dialogue's steps and what they learn; each step returns false where the input ended.
class SetupSteps {
 public:
  SetupSteps(SetupIo& io, Dialogue& dialogue) : io_(io), dialogue_(dialogue) {}

  // 1. The launcher: FILE, else opener.exe beside the tool, else asked until one is ours.
  bool ChooseLauncher(const std::optional<std::string>& file, const std::string& toolFolder) {
    std::string path = file ? *file : toolFolder + "opener.exe";
    for (LauncherSeen seen = io_.readLauncher(path); !seen.error.empty() || !seen.ours; seen = io_.readLauncher(path)) {
      if (file || path != toolFolder + "opener.exe" || io_.nameExists(path))
        dialogue_.Say(Printable(path) + ": " + (seen.error.empty() ? "not a launcher of this release" : seen.error) +
                      "\n");
      const std::optional<std::string> answer =
          dialogue_.Ask("Which launcher? Drag opener.exe into this window, or type its path, then press Enter:");
      if (!answer) return false;
      path = Unquoted(*answer);
    }
    launcher = io_.fullPath(path);
    before = io_.readLauncher(launcher).template_;
    registered = io_.registeredFor(launcher, heldTypes, held);
    return true;
  }

  // 2. The editor, dragged in or typed (Enter keeps it): set --program.
  bool AskEditor() {
    for (;;) {
      const std::string now = io_.readLauncher(launcher).template_;
      const std::optional<std::string> answer = dialogue_.Ask(
          "Drag the editor's .exe into this window, or type its path, then press Enter (Enter alone " +
          (now == io_.shippedTemplate ? std::string("leaves it for later") : "keeps " + Printable(now)) + "):");
      if (!answer) return false;
      const std::string path = Unquoted(*answer);
      if (path.empty()) return true;
      if (std::string why = EditorError(path); !why.empty()) {
        dialogue_.Say(Printable(why) + "; try again.\n");
        continue;
      }
      if (dialogue_.Do({"set", launcher, "--program", path})) return true;
      dialogue_.Say("Try again.\n");
    }
  }

  // The name Windows shows for the editor the launcher now starts (or for the launcher).
  std::string EditorName() const {
    const LauncherSeen now = io_.readLauncher(launcher);
    const std::string editor =
        now.error.empty() ? io_.findProgram(std::string(FindProgram(now.template_).meant), FolderOf(launcher)) : "";
    return io_.displayName(editor.empty() ? launcher : editor);
  }

  // 3. The file types, each one register takes.
  bool AskTypes() {
    for (;;) {
      const std::optional<std::string> answer =
          dialogue_.Ask(registered ? "File types to open with it (Enter keeps: " +
                                         (heldTypes.empty() ? "none" : InWords(heldTypes, {})) + "; - for none):"
                                   : "File types to open with it, such as .txt .md .log (Enter: none):");
      if (!answer) return false;
      types = Words(*answer);
      if (registered && types.empty()) types = heldTypes;
      if (types.size() == 1 && types[0] == "-") types.clear();
      bool taken = true;
      for (const std::string& type : types)
        if (std::string why = FileTypeError(type, io_.pathext); taken && !why.empty()) {
          dialogue_.Say(Printable(type) + ": " + why + "; try again.\n");
          taken = false;
        }
      if (taken) return true;
    }
  }

  // 4. The places, each a yes or no.
  bool AskPlaces(const std::string& name) {
    for (const auto& [question, flag, fresh] :
         {std::tuple{"'Edit with " + name + "' on the right-click menu of every file?", &Places::menu, true},
          std::tuple{"'Open with " + name + "' on the right-click menu of folders?", &Places::folders, false},
          std::tuple{std::string("In Send To?"), &Places::sendTo, true}}) {
      const std::optional<bool> yes = dialogue_.AskYesNo(question, registered ? held.*flag : fresh);
      if (!yes) return false;
      wanted.*flag = *yes;
    }
    return true;
  }

  // 5. Register what is new, unregister what was dropped; false where a step failed. With
  //    a new editor, what is kept is registered again, so that its menu text, icon, "Open
  //    with" name and Send To shortcut name the new editor.
  bool Apply() {
    const bool newEditor = !ChangedTemplate().empty();
    std::vector<std::string> add = {"register", launcher}, drop = {"unregister", launcher};
    for (const std::string& type : types)
      if (newEditor || !HoldsRegistryName(heldTypes, type)) add.push_back(type);
    for (const std::string& type : heldTypes)
      if (!HoldsRegistryName(types, type)) drop.push_back(type);
    for (const PlaceName& place : kPlaceNames) {
      if (wanted.*place.flag && (newEditor || !(held.*place.flag))) add.push_back(place.option);
      if (!(wanted.*place.flag) && held.*place.flag) drop.push_back(place.option);
    }
    if (add.size() > 2 && !dialogue_.Do(add)) return false;
    return drop.size() <= 2 || dialogue_.Do(drop);
  }

  // The template before setup, where setup changed it; "" where it did not.
  std::string ChangedTemplate() const { return before == io_.readLauncher(launcher).template_ ? "" : before; }

  std::string launcher, before;
  bool registered = false;
  std::vector<std::string> heldTypes;
  Places held;

 private:
  // What set --program would not take as the editor, said before it runs: a folder, or
  // a name Windows finds no program for.
  std::string EditorError(const std::string& path) const {
    if (!io_.findProgram(path, FolderOf(launcher)).empty()) return "";
    return io_.nameExists(path) ? "that is a folder, not a program" : "Windows finds no program " + path;
  }
  // The words of an answer, split at blanks and commas.
  static std::vector<std::string> Words(std::string text) {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::vector<std::string> words;
    for (std::size_t start = 0; (start = text.find_first_not_of(" \t", start)) != std::string::npos;) {
      const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
      words.push_back(text.substr(start, end - start));
      start = end;
    }
    return words;
  }

  SetupIo& io_;
  Dialogue& dialogue_;
  std::vector<std::string> types;
  Places wanted;
};

}  // namespace

int RunSetup(const std::optional<std::string>& file, const std::string& toolFolder, SetupIo& io) {
  Dialogue dialogue(io);
  SetupSteps steps(io, dialogue);
  io.onInterrupt("\nStopped. Nothing was changed.\n");
  dialogue.Say(
      "opener-template setup: points a launcher at your editor and gives it your file types, the "
      "right-click menu and Send To.\n");
  if (!steps.ChooseLauncher(file, toolFolder)) return dialogue.End(false, "", "");
  const std::string& launcher = steps.launcher;
  // A launcher as the release ships it points at no editor: said plainly, not checked.
  if (steps.before == io.shippedTemplate) {
    dialogue.Say("\n" + Printable(launcher) + " is not pointed at an editor yet.\n");
  } else {
    dialogue.Say("\n" + Printable(launcher) + " now:\n");
    io.run({"check", launcher});
  }
  if (steps.registered) {
    const std::optional<bool> back = dialogue.AskYesNo("Take everything back, as 'unregister' does?", false);
    if (!back) return dialogue.End(false, launcher, "");
    if (*back) return dialogue.End(dialogue.Do({"unregister", launcher}), launcher, "");
  }
  if (!steps.AskEditor()) return dialogue.End(false, launcher, steps.ChangedTemplate());
  if (!steps.AskTypes() || !steps.AskPlaces(steps.EditorName()))
    return dialogue.End(false, launcher, steps.ChangedTemplate());
  const bool complete = steps.Apply();
  return dialogue.End(complete, launcher, steps.ChangedTemplate());
}

SetupIo SystemSetupIo() {
  SetupIo io;
  io.readLauncher = [](const std::string& path) {
    LauncherFile read;
    LauncherSeen seen;
    seen.error = ReadLauncher(path, read);
    seen.ours = seen.error.empty() && read.ours;
    if (seen.error.empty()) seen.template_ = read.Template();
    return seen;
  };
  io.nameExists = [](const std::string& name) { return NameExistsHere(name); };
  io.fullPath = FullPathOf;
  io.findProgram = [](const std::string& name, const std::string& folder) { return FindTemplateProgram(name, folder); };
  io.displayName = ProgramDisplayName;
  io.registeredFor = [](const std::string& launcher, std::vector<std::string>& types, Places& places) {
    return RegisteredFor(*OpenClasses(false), launcher, types, places);
  };
  io.pathext = Pathext();
  return io;
}
