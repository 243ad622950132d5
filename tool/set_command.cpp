// opener-template set: a template given as it stands, from a file, or as a program and
// its arguments, checked and written into the launcher's block (or OUT) whole or not at all.
#include <string>

#include "check.h"
#include "command.h"
#include "command_line.h"
#include "console.h"
#include "file_identity.h"
#include "file_io.h"
#include "paths.h"
#include "program_search.h"
#include "template_file.h"
#include "template_text.h"

namespace {

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
  if (!kOnWindows) return "";
  const ProgramWords words = FindProgram(text);
  const std::string found = FindTemplateProgram(words.meant, FolderOf(FullPathOf(target)));
  const std::string program = found.empty() && IsFullPath(words.meant) ? WithDefaultExtension(words.meant) : found;
  if (program.empty() || !SameFile(program, target)) return "";
  return StartsItselfMessage(program);
}

}  // namespace

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
  const std::string folder = FolderOf(FullPathOf(target));
  const bool found = kOnWindows && !FindTemplateProgram(options.program ? *options.program : text, folder).empty();
  if (options.program && kOnWindows && !found && NameExistsHere(*options.program))
    return Refuse(path, *options.program + " is a folder, not a program");
  // A program's path given as the whole template: it is meant with --program.
  if (!templateGiven && found && text.find(kPlaceholder) == std::string::npos && NameExistsHere(text))
    notes.push_back("to start this program with the file name, give its path with --program: " +
                    CommandLineOf({OwnProgramPath(), "set", FullPathOf(path), "--program", text}));
  if (options.program && kOnWindows && !found)
    notes.push_back("Windows finds no program " + *options.program + " (" +
                    (IsFullPath(*options.program) ? std::string("there") : WhereWindowsLooks(*options.program)) +
                    "): the launcher will start nothing until it exists");
  if (std::string error = RewriteTemplate(file, text, options.force, notes); !error.empty()) return Refuse(path, error);
  if (std::string error = ReplaceWholeFile(target, file, path); !error.empty()) return Refuse(named, error);
  for (const std::string& note : notes) Warn(named, note);
  return 0;
}
