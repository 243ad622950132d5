#include "update.h"

#include "template_file.h"

namespace {

// The launcher at `path` updated; `named` where the user named the file itself.
void UpdateOne(const std::string& path, bool named, const FreshLaunchers& fresh, UpdateIo& io, UpdateOutcome& outcome) {
  auto leave = [&](const std::string& why) {
    outcome.lines += "left as it was: " + path + ": " + why + "\n";
    outcome.failed = true;
  };
  std::string bytes;
  std::size_t offset = 0;
  if (std::string error = io.read(path, bytes); !error.empty()) return leave(error);
  const std::string kind = LocateTemplateBlock(bytes, offset).empty() ? io.kindOf(bytes, offset) : "";
  if (kind.empty()) {
    if (named) leave("not a launcher of any release of opener");
    return;
  }
  const auto shipped = fresh.find(kind);
  if (shipped == fresh.end())
    return leave("a launcher of the kind " + kind + ", which is not beside this opener-template");
  std::string updated = shipped->second;
  std::vector<std::string> notes;
  if (std::string error = RewriteTemplate(updated, ReadStoredTemplate(bytes, offset), true, notes); !error.empty())
    return leave("its template cannot be carried over: " + error);
  if (updated == bytes) {
    outcome.lines += "up to date: " + path + " (" + kind + ")\n";
    return;
  }
  if (std::string error = io.replace(path, updated); !error.empty())
    return leave(error + " (a launcher cannot be replaced while it runs: a waiting one while its editor is open)");
  outcome.lines += "updated: " + path + " (" + kind + "), its template kept\n";
}

}  // namespace

UpdateOutcome Update(const std::vector<std::string>& operands, const FreshLaunchers& fresh, UpdateIo& io) {
  UpdateOutcome outcome;
  for (const std::string& operand : operands) {
    if (!io.isFolder(operand)) {
      UpdateOne(operand, true, fresh, io, outcome);
      continue;
    }
    const std::size_t before = outcome.lines.size();
    for (const std::string& program : io.programsIn(operand)) UpdateOne(program, false, fresh, io, outcome);
    if (outcome.lines.size() == before) outcome.lines += "no launcher in " + operand + "\n";
  }
  return outcome;
}
