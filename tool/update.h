// update: the launchers of any release (this one's too) in the folders and files named,
// each replaced by this release's launcher of its kind, carrying its template, so that
// what is registered for it (same path) starts the user's editor after an update.
// Decisions over UpdateIo alone; update_command.cpp gives it the system's files.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

struct UpdateIo {
  std::function<bool(const std::string& path)> isFolder;
  std::function<std::vector<std::string>(const std::string& folder)> programsIn;  // its .exe files, in order
  std::function<std::string(const std::string& path, std::string& bytes)> read;   // "" or why not
  // The kind of launcher the bytes are, of any release ("opener", "opener-wait"), or "".
  std::function<std::string(const std::string& bytes, std::size_t blockOffset)> kindOf;
  // Writes the file whole or not at all; "" or why not.
  std::function<std::string(const std::string& path, const std::string& bytes)> replace;
};

// This release's launchers, their bytes by kind.
using FreshLaunchers = std::map<std::string, std::string>;

// What update did, a line a launcher; `failed` where one was left as it was for a fault.
struct UpdateOutcome {
  std::string lines;
  bool failed = false;
};

// Rules, for each launcher found (every operand that is a file; in a folder, each .exe
// that is a launcher of some release, others passed over in silence):
//   found                                  said
//   this release's, same bytes             up to date: PATH (KIND)
//   another release's, or another build    updated: PATH (KIND), its template kept
//   a kind this release does not ship      left as it was: PATH: ... (failed)
//   one that cannot be written (running)   left as it was: PATH: ... (failed)
//   a FILE named that is no launcher       left as it was: PATH: ... (failed)
UpdateOutcome Update(const std::vector<std::string>& operands, const FreshLaunchers& fresh, UpdateIo& io);
