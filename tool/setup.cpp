// The setup dialogue. Its steps, each asked again until its answer is one the step takes:
//   1. which launcher: FILE, else opener.exe beside the tool, else asked; what it does now,
//      as check says it; where it is registered already, whether to take it all back;
//   2. the editor, dragged in or typed, with or without quotes (Enter keeps it): set --program;
//   3. the file types and the places: register what is new, unregister what was dropped;
//   4. what was done, as the commands that do it, and how to take it back.
#include "setup.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "file_types.h"
#include "launcher_file.h"
#include "path_fold.h"
#include "program_search.h"
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
    io_.write("\n> opener-template " + CommandLineOf(args) + "\n");
    if (io_.run(args) != 0) return false;
    done_.push_back(args);
    io_.onInterrupt("\nStopped." + Summary());
    return true;
  }
  void Say(const std::string& text) { io_.write(text); }

  // What was done, and how to take it back.
  // What was done so far, as the commands that do it.
  std::string Summary() const {
    std::string out = done_.empty() ? " Nothing was changed.\n" : " What was done, as the commands that do it:\n";
    for (const auto& args : done_) out += "  opener-template " + CommandLineOf(args) + "\n";
    return out;
  }
  int End(bool complete, const std::string& launcher, const std::string& template_) {
    io_.onInterrupt("");
    std::string out = (complete ? "\nDone." : "\nStopped.") + Summary();
    if (!launcher.empty() && !done_.empty()) {
      out += "To take the file types and places back: opener-template unregister " + CommandLineOf({launcher}) + "\n";
      if (!template_.empty()) out += "The template was before: " + Printable(template_) + "\n";
    }
    io_.write(out + "\nPress Enter to close.");
    std::string line;
    io_.readLine(line);
    io_.write("\n");
    return complete ? 0 : 1;
  }

 private:
  SetupIo& io_;
  std::vector<std::vector<std::string>> done_;
};

// What set --program would not take as the editor, said before it runs: a folder, or a
// name Windows finds no program for.
std::string EditorError(const std::string& path, const std::string& launcher) {
  if (!FindTemplateProgram(path, FolderOf(launcher)).empty()) return "";
  return NameExistsHere(path) ? "that is a folder, not a program" : "Windows finds no program " + path;
}

}  // namespace

std::string CommandLineOf(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    const bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
    line += (line.empty() ? "" : " ") + (quote ? "\"" + arg + "\"" : arg);
  }
  return line;
}

int RunSetup(const std::optional<std::string>& file, const std::string& toolFolder, SetupIo& io) {
  Dialogue dialogue(io);
  io.onInterrupt("\nStopped. Nothing was changed.\n");
  dialogue.Say(
      "opener-template setup: points a launcher at your editor and gives it your file types, the "
      "right-click menu and Send To.\n");

  // 1. The launcher, and what it does now.
  std::string launcher = file ? *file : toolFolder + "opener.exe";
  LauncherFile read;
  for (std::string why = ReadLauncher(launcher, read); !why.empty() || !read.ours; why = ReadLauncher(launcher, read)) {
    if (file || launcher != toolFolder + "opener.exe" || NameExistsHere(launcher))
      dialogue.Say(Printable(launcher) + ": " + (why.empty() ? "not a launcher of this release" : why) + "\n");
    const std::optional<std::string> answer =
        dialogue.Ask("Which launcher? Drag opener.exe into this window, or type its path, then press Enter:");
    if (!answer) return dialogue.End(false, "", "");
    launcher = Unquoted(*answer);
  }
  launcher = FullPathOf(launcher);
  const std::string before = read.Template();
  dialogue.Say("\n" + Printable(launcher) + " now:\n");
  io.run({"check", launcher});

  std::vector<std::string> heldTypes;
  Places held;
  const bool registered = RegisteredFor(*OpenClasses(false), launcher, heldTypes, held);
  if (registered) {
    const std::optional<bool> back = dialogue.AskYesNo("Take everything back, as 'unregister' does?", false);
    if (!back) return dialogue.End(false, launcher, "");
    if (*back) return dialogue.End(dialogue.Do({"unregister", launcher}), launcher, "");
  }

  // 2. The editor.
  for (;;) {
    const std::optional<std::string> answer =
        dialogue.Ask("Drag the editor's .exe into this window, or type its path, then press Enter (Enter alone keeps " +
                     Printable(read.Template()) + "):");
    if (!answer) return dialogue.End(false, launcher, before);
    const std::string path = Unquoted(*answer);
    if (path.empty()) break;
    if (std::string why = EditorError(path, launcher); !why.empty()) {
      dialogue.Say(Printable(why) + "; try again.\n");
      continue;
    }
    if (dialogue.Do({"set", launcher, "--program", path})) break;
    dialogue.Say("Try again.\n");
  }
  ReadLauncher(launcher, read);
  const std::string editor = FindTemplateProgram(FindProgram(read.Template()).meant, FolderOf(launcher));
  const std::string name = ProgramDisplayName(editor.empty() ? launcher : editor);

  // 3. Where it opens files.
  const char* pathext = std::getenv("PATHEXT");
  std::vector<std::string> types;
  for (bool taken = false; !taken;) {
    const std::optional<std::string> answer =
        dialogue.Ask(registered ? "File types to open with it (Enter keeps: " +
                                      (heldTypes.empty() ? "none" : InWords(heldTypes, {})) + "; - for none):"
                                : "File types to open with it, such as .txt .md .log (Enter: none):");
    if (!answer) return dialogue.End(false, launcher, before);
    types.clear();
    std::string words = *answer;
    std::replace(words.begin(), words.end(), ',', ' ');
    for (std::size_t start = 0; (start = words.find_first_not_of(" \t", start)) != std::string::npos;) {
      const std::size_t end = std::min(words.find_first_of(" \t", start), words.size());
      types.push_back(words.substr(start, end - start));
      start = end;
    }
    if (registered && types.empty()) types = heldTypes;
    if (types.size() == 1 && types[0] == "-") types.clear();
    taken = true;
    for (const std::string& type : types)
      if (std::string why = FileTypeError(type, pathext ? pathext : ""); taken && !why.empty()) {
        dialogue.Say(Printable(type) + ": " + why + "; try again.\n");
        taken = false;
      }
  }
  Places wanted;
  for (const auto& [question, flag, fresh] :
       {std::tuple{"'Edit with " + name + "' on the right-click menu of every file?", &Places::menu, true},
        std::tuple{"'Open with " + name + "' on the right-click menu of folders?", &Places::folders, false},
        std::tuple{std::string("In Send To?"), &Places::sendTo, true}}) {
    const std::optional<bool> yes = dialogue.AskYesNo(question, registered ? held.*flag : fresh);
    if (!yes) return dialogue.End(false, launcher, before);
    wanted.*flag = *yes;
  }

  // Register what is new, unregister what was dropped.
  std::vector<std::string> add = {"register", launcher}, drop = {"unregister", launcher};
  for (const std::string& type : types)
    if (!HoldsRegistryName(heldTypes, type)) add.push_back(type);
  for (const std::string& type : heldTypes)
    if (!HoldsRegistryName(types, type)) drop.push_back(type);
  for (const PlaceName& place : kPlaceNames) {
    if (wanted.*place.flag && !(held.*place.flag)) add.push_back(place.option);
    if (!(wanted.*place.flag) && held.*place.flag) drop.push_back(place.option);
  }
  bool complete = true;
  if (add.size() > 2) complete = dialogue.Do(add);
  if (complete && drop.size() > 2) complete = dialogue.Do(drop);
  return dialogue.End(complete, launcher, before == read.Template() ? "" : before);
}
