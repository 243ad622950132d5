#include "check.h"

#include <vector>

#include "argument_tail.h"
#include "console.h"
#include "dry_run.h"
#include "file_identity.h"
#include "file_types.h"
#include "launch_result.h"
#include "paths.h"
#include "program_search.h"
#include "shell_queries.h"
#include "template_text.h"
#include "utf8.h"

namespace {

constexpr const char* kSampleTail = R"(C:\notes\plan.txt)";

// Why the launcher started nothing, from its exit code.
std::string WhyNothingStarted(const DryRunResult& run) {
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
CheckReport BatchVerdict(const DryRunResult& run, const std::string& batch) {
  const std::string by = "   (a batch file, run by " + Printable(run.program);
  if (IsFullPath(batch)) return {"program:  " + Printable(batch) + by + ")\n"};
  const std::string found = FindProgramFile(batch, "");
  const std::string where = "cmd.exe looks for " + Printable(batch) +
                            " in its current folder (the caller's, not the launcher's) and then on PATH";
  if (found.empty())
    return {"program:  none: " + where +
                ", and finds it in neither here: cmd.exe starts and opens nothing; give "
                "the batch file's full path\n",
            true};
  return {"program:  " + Printable(found) + by + ")\nwarning:  " + where +
          ": found here, but a caller in another folder gets nothing; give the batch file's full path\n"};
}

// Whether `file` is the program the dry run saw starting: the file of the image Windows
// mapped, or the file its image path names (Wine maps its own programs from elsewhere).
bool IsStarted(const DryRunResult& run, const std::string& file) {
  return (run.programId.index != 0 && IdOfFile(file) == run.programId) || SameFile(file, run.program);
}

// What Windows did with the launcher's command, from the launcher's dry run. Programs are
// compared as files, not as spellings: the file Windows finds for the name the template
// means (or a shorter reading of it that names a program) is the file it started, or no
// such file exists and Windows started the only program there is.
CheckReport Verdict(const DryRunResult& run, const ProgramWords& words) {
  const std::string ran = "ran:      " + Printable(run.commandLine) +
                          "   (as a file association would, under the debugger; what it starts is ended at once)\n";
  if (run.replaced)
    return {ran + "program:  not run: the file Windows ran is not the launcher that was read; check again\n", true};
  if (run.program.empty())
    return {ran + "program:  none: " + WhyNothingStarted(run) + "; the launcher starts nothing\n", true};
  if (IsStarted(run, run.launcher))
    return {ran + "program:  none: " + StartsItselfMessage(Printable(run.program)) + "\n", true};
  const std::string batch = BatchFileOf(run.programLine);
  if (IsBatchName(words.meant) && !batch.empty()) {
    CheckReport verdict = BatchVerdict(run, batch);
    verdict.lines = ran + verdict.lines;
    return verdict;
  }

  std::string out = ran + "program:  " + Printable(run.program) + "   (Windows starts it)\n";
  const std::string folder = FolderOf(run.launcher);
  const std::string meant = FindTemplateProgram(words.meant, folder);
  bool started = meant.empty();
  for (std::string_view name : {words.meant, words.shorter}) {
    const std::string file = FindTemplateProgram(name, folder);
    if (file.empty()) continue;
    started = started || IsStarted(run, file);
  }
  if (!started)
    out += "warning:  this program, not " + Printable(meant) +
           ", is what Windows will start; put the program's path in double quotes\n";
  return {out};
}

// Without Windows: the programs Windows tries, in its order, and where.
CheckReport ListCandidates(const std::string& command) {
  const std::vector<std::string> candidates = ProgramCandidates(command);
  if (candidates.empty())
    return {"program:  none: Windows reads no program name in the command, and the launcher starts nothing\n", true};
  std::string out = std::string("program:  not checked: ") +
                    (kOnWindows ? ""
                                : "only Windows sees its files (on Windows, check runs the launcher and asks "
                                  "Windows). ") +
                    "Windows tries, in this order:\n";
  for (const std::string& candidate : candidates) {
    const std::string where = WhereWindowsLooks(candidate);
    out += "            " + Printable(candidate) + (where.empty() ? "" : "   (" + where + ")") + "\n";
  }
  return {out};
}

// What Windows starts for the command: asked of Windows where a launcher of ours can be
// run, else read from Windows' rules.
CheckReport WhatStarts(const std::string& path, const LauncherFile& launcher, const std::string& argument,
                       const std::string& command) {
  const DryRunResult run =
      kOnWindows && launcher.ours ? DryRunLauncher(path, argument, launcher.held.handle()) : DryRunResult{};
  if (kOnWindows && launcher.ours && run.failure.empty()) return Verdict(run, FindProgram(command));
  if (std::size_t units = Utf16Length(command); units > kLongestCommand)
    return {"program:  none: the command is " + std::to_string(units) +
                " UTF-16 characters long, and Windows starts none longer than " + std::to_string(kLongestCommand) +
                "; the launcher starts nothing\n",
            true};
  CheckReport listed = ListCandidates(command);
  if (kOnWindows && launcher.ours)
    listed.lines = "note:     Windows could not be asked: " + Printable(run.failure) + "\n" + listed.lines;
  return listed;
}

}  // namespace

std::string StartsItselfMessage(const std::string& program) {
  return "the template starts the launcher itself (" + program +
         "), which would start itself again and again, without end; name another program";
}

CheckReport CheckLauncher(const std::string& path, const LauncherFile& launcher,
                          const std::optional<std::string>& text) {
  // The launcher is started as a "%1" association starts it: "FILE" "TEXT", or "FILE" TEXT
  // when TEXT brings its own quotes (a quoted name and its options, several names).
  const std::string given = text ? *text : kSampleTail;
  const std::string argument = given.find('"') == std::string::npos ? "\"" + given + "\"" : given;
  const std::string line = "\"" + path + "\" " + argument;
  const std::string tail = FindArgumentTail(line.c_str(), path);
  const std::string stored = launcher.Template();
  const std::string command = ExpandStoredTemplate(launcher.bytes, launcher.offset, tail, NameExistsHere);
  CheckReport report{"template: " + Printable(stored) + "\n"};
  report.lines +=
      "command:  " + Printable(command) + (text ? "" : "   (for the sample file name " + given + ")") + "\n";
  if (std::string error = CheckTemplateText(stored); !error.empty()) {
    report.lines += "problem:  " + error + "\n";
    report.fails = true;
  }

  // Only a launcher of ours is ever run: any other file that holds a block could be any program.
  const CheckReport starts = WhatStarts(path, launcher, argument, command);
  report.lines += starts.lines;
  report.fails = report.fails || starts.fails;
  if (kOnWindows && !launcher.ours) {
    report.lines += "not run:  " + Printable(path) + " is not a launcher of this release\n";
    report.fails = true;
  }
  if (std::string why = LauncherPathError(FullPathOf(path)); !why.empty())
    report.lines += "warning:  a file type cannot start this launcher: " + why + "\n";
  if (kOnWindows) {
    const std::string full = FullPathOf(path);
    const std::string mine = RegisteredWhere(*OpenClasses(false), full),
                      everyone = RegisteredWhere(*OpenClasses(true), full);
    report.lines += "registered: for you: " + (mine.empty() ? std::string("nothing") : Printable(mine)) +
                    "; for all users: " + (everyone.empty() ? std::string("nothing") : Printable(everyone)) + "\n";
    for (const bool allUsers : {false, true})
      if (const std::string other = SameNameRegistered(*OpenClasses(allUsers), full); !other.empty())
        report.lines += "note:     another launcher of this file name holds file types " +
                        std::string(allUsers ? "for all users" : "for you") + ", " + Printable(other) +
                        ", and \"Open with\" knows a program by its file name alone: give this copy a name of its "
                        "own, or unregister that one first\n";
  }
  for (const std::string& note : TemplateWarnings(stored, LegacyCodePage()))
    report.lines += "warning:  " + Printable(note) + "\n";
  return report;
}

CheckReport CheckFileType(const std::string& type, const std::optional<std::string>& text) {
  const TypeAnswer answer = AskWindowsAbout(type);
  CheckReport report{"type:     " + Printable(type) + "\n"};
  if (!answer.userChoice.empty())
    report.lines += "note:     " + std::string(kUserChoiceComesFirst) + ": " + Printable(answer.userChoice) + "\n";
  if (answer.command.empty())
    return {report.lines + "command:  none: Windows starts no program for " + Printable(type) + " files\n", true};
  report.lines += "command:  " + Printable(answer.command) + "   (what Windows starts for these files)\n";
  // Windows names no program whose file is missing: the command's own first word then.
  const std::string program = answer.program.empty() ? std::string(FindProgram(answer.command).meant) : answer.program;
  LauncherFile launcher;
  const std::string error = ReadLauncher(program, launcher, true);
  if (!error.empty() && !NameExistsHere(program))
    return {report.lines + "launcher: " + Printable(program) +
                "   (missing: no such file; files of this type open with nothing until it is back, or "
                "'opener-template unregister \"" +
                Printable(program) + "\"' gives the type back)\n",
            true};
  if (!error.empty() || !launcher.ours)
    return {report.lines + "launcher: " + Printable(program) + "   (not a launcher of this release)\n", true};
  report.lines += "launcher: " + Printable(program) + "\n";
  if (std::string why = LauncherPathError(program); !why.empty())
    return {report.lines + "program:  none: " + why + "\n", true};
  const CheckReport own = CheckLauncher(program, launcher, text);
  return {report.lines + own.lines, own.fails};
}
