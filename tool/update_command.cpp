// opener-template update: update.h's decisions over the system's files, with this
// release's launchers taken from beside the tool.
#include <string>

#include "command.h"
#include "console.h"
#include "file_identity.h"
#include "file_io.h"
#include "paths.h"
#include "template_file.h"
#include "template_text.h"
#include "update.h"

namespace {

UpdateIo SystemUpdateIo() {
  UpdateIo io;
  io.isFolder = IsFolder;
  io.programsIn = ProgramsIn;
  io.read = [](const std::string& path, std::string& bytes) {
    return ReadWholeFile(path, bytes, kMaxExecutableSize, true);
  };
  io.kindOf = [](const std::string& bytes, std::size_t offset) { return LauncherKind(bytes, offset, true); };
  io.replace = [](const std::string& path, const std::string& bytes) {
    std::string target;
    if (std::string error = ReplaceableTarget(path, target); !error.empty()) return error;
    return ReplaceWholeFile(target, bytes, path);
  };
  return io;
}

}  // namespace

int UpdateLaunchers(const Options& options) {
  if (!kOnWindows) return Usage("update recognises launchers by Windows' SHA-256, and runs on Windows only");
  if (options.operands.empty()) return Usage("update takes one or more FOLDER or FILE");
  // This release's launchers, beside this tool.
  const std::string here = FolderOf(OwnProgramPath());
  FreshLaunchers fresh;
  for (const std::string& kind : LauncherKinds()) {
    LauncherFile launcher;
    if (ReadLauncher(here + kind + ".exe", launcher).empty() &&
        LauncherKind(launcher.bytes, launcher.offset, false) == kind)
      fresh[kind] = launcher.bytes;
  }
  if (fresh.empty())
    return Refuse(here,
                  "this release's launchers are not beside opener-template: run update from the folder the "
                  "release was unzipped to");
  std::vector<std::string> operands;
  for (const std::string& operand : options.operands) {
    if (std::string error = CheckOperand(operand, "FOLDER or FILE"); !error.empty()) return Usage(error);
    operands.push_back(FullPathOf(operand));
  }
  UpdateIo io = SystemUpdateIo();
  const UpdateOutcome outcome = Update(operands, fresh, io);
  std::string said;
  for (std::size_t start = 0, end; (end = outcome.lines.find('\n', start)) != std::string::npos; start = end + 1)
    said += Printable(outcome.lines.substr(start, end - start)) + "\n";
  if (int printed = Print(said, "what was updated"); printed != 0) return printed;
  return outcome.failed ? kRefused : 0;
}
