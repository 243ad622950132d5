// setup's dialogue natively, over an in-memory registry: each row's answers, the commands
// setup runs for them, and what it says; the registry it leaves is the one those commands,
// run as its summary prints them, leave.
#include "setup.h"

#include <gtest/gtest.h>

#include <map>

#include "memory_registry.h"
#include "program_search.h"
#include "rows.h"

namespace {

const std::string kLauncher = "C:\\Tools\\opener.exe";
const std::string kEditor = "C:\\Ed\\ed.exe";

// The system setup sees: one launcher, one editor in C:\Ed, and the tool's commands run
// against `registry` (check changes nothing; set keeps the template).
struct StandIn {
  MemoryRegistry registry;
  MemoryShortcuts shortcuts;
  std::string template_ = "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"";
  std::vector<std::string> ran;  // each command but check that succeeded, as its summary line

  int Run(const std::vector<std::string>& args) {
    if (args[0] == "check") return 0;
    if (args[0] == "set") {
      template_ = "\"" + args[3] + "\" \"%s\"";
      ran.push_back("opener-template " + CommandLineOf(args));
      return 0;
    }
    std::vector<std::string> types;
    Places places;
    for (std::size_t i = 2; i < args.size(); ++i)
      for (const PlaceName& place : kPlaceNames)
        if (args[i] == place.option) places.*place.flag = true;
    for (std::size_t i = 2; i < args.size(); ++i)
      if (args[i][0] == '.') types.push_back(args[i]);
    const std::string editor = Find(std::string(FindProgram(template_).meant));
    const RegistryOutcome outcome =
        args[0] == "register"
            ? RegisterLauncher(registry, shortcuts, {args[1], editor, editor.empty() ? "opener" : "Ed", types, places})
            : UnregisterLauncher(registry, shortcuts, args[1], {types, places});
    if (!outcome.error.empty()) return 1;
    ran.push_back("opener-template " + CommandLineOf(args));
    return 0;
  }
  static std::string Find(const std::string& name) { return name == kEditor ? kEditor : ""; }

  SetupIo Io(std::string& input, std::string& output) {
    SetupIo io;
    io.readLine = [&input](std::string& line) {
      if (input.empty()) return false;
      line = input.substr(0, input.find('\n'));
      input.erase(0, std::min(input.size(), line.size() + 1));
      return true;
    };
    io.write = [&output](const std::string& text) { output += text; };
    io.run = [this](const std::vector<std::string>& args) { return Run(args); };
    io.onInterrupt = [](const std::string&) {};
    io.readLauncher = [this](const std::string& path) {
      return path == kLauncher ? LauncherSeen{"", true, template_}
                               : LauncherSeen{"cannot read: no such file", false, ""};
    };
    io.nameExists = [](const std::string& name) { return name == "C:\\Ed" || name == kEditor || name == kLauncher; };
    io.fullPath = [](const std::string& path) { return path; };
    io.findProgram = [](const std::string& name, const std::string&) { return Find(name); };
    io.displayName = [](const std::string& path) { return path == kEditor ? std::string("Ed") : "opener"; };
    io.registeredFor = [this](const std::string& launcher, std::vector<std::string>& types, Places& places) {
      return RegisteredFor(registry, launcher, types, places);
    };
    io.pathext = ".COM;.EXE;.BAT";
    io.tool = "opener-template";
    io.shippedTemplate = "\"D:\\Program Files\\ZEPHANTA\\Ovrix.exe\" \"%s\"";
    return io;
  }
};

struct SetupRow : NamedRow {
  std::vector<std::vector<std::string>> before;  // commands run before setup
  std::string answers;
  std::vector<std::string> ran;  // the commands setup runs
  int exitCode;
  std::string says;  // a line of what it says
  int failIn = -1;   // the registry's writes that succeed before one fails
};

class SetupDialogue : public testing::TestWithParam<SetupRow> {};

TEST_P(SetupDialogue, RunsTheCommandsItSaysAndNothingElse) {
  const SetupRow& row = GetParam();
  StandIn system;
  for (const auto& command : row.before) ASSERT_EQ(system.Run(command), 0);
  system.ran.clear();
  const MemoryRegistry before = system.registry;
  const std::string template_ = system.template_;
  system.registry.failIn = row.failIn;
  std::string input = row.answers, output;
  SetupIo io = system.Io(input, output);
  EXPECT_EQ(RunSetup(std::nullopt, "C:\\Tools\\", io), row.exitCode) << output;
  EXPECT_EQ(system.ran, row.ran) << output;
  EXPECT_NE(output.find(row.says), std::string::npos) << output;

  // Its summary, run as printed from the state before, leaves the same registry.
  std::string summary;
  for (const std::string& line : system.ran) summary += "  " + line + "\n";
  EXPECT_NE(output.find(summary), std::string::npos) << output;
  StandIn replay;
  replay.registry = before;
  replay.template_ = template_;
  for (const std::string& line : system.ran) {
    std::vector<std::string> args;
    for (std::size_t start = 16; start < line.size();) {  // after "opener-template "
      const bool quoted = line[start] == '"';
      const std::size_t end = quoted ? line.find('"', start + 1) + 1 : std::min(line.find(' ', start), line.size());
      args.push_back(line.substr(start + quoted, end - start - 2 * quoted));
      start = end + 1;
    }
    EXPECT_EQ(replay.Run(args), 0) << line;
  }
  EXPECT_TRUE(replay.registry.keys == system.registry.keys) << output;
}

const std::vector<std::string> kRegisterTxt = {"register", kLauncher, ".txt", "--menu"};
const std::string kSet = "opener-template set " + kLauncher + " --program " + kEditor;

INSTANTIATE_TEST_SUITE_P(
    Setup, SetupDialogue,
    testing::ValuesIn(std::vector<SetupRow>{
        {{"FirstRun"},
         {},
         kEditor + "\n.txt .md\n\n\n\n\n",
         {kSet, "opener-template register " + kLauncher + " .txt .md --menu --send-to"},
         0,
         "C:\\Tools\\opener.exe is not pointed at an editor yet.\n"},
        {{"NothingAsked"}, {}, "\n\nn\nn\nn\n\n", {}, 0, "Done. Nothing was changed."},
        {{"ChangesTheTypes"},
         {kRegisterTxt},
         "\n\n.md\n\n\nn\n\n",
         {"opener-template register " + kLauncher + " .md", "opener-template unregister " + kLauncher + " .txt"},
         0,
         "File types to open with it (Enter keeps: .txt; - for none):"},
        {{"TakesEverythingBack"},
         {kRegisterTxt},
         "y\n\n",
         {"opener-template unregister " + kLauncher},
         0,
         "Take everything back, as 'unregister' does? [y/N]"},
        {{"InputEndsAtTheTypes"}, {}, kEditor + "\n", {kSet}, 1, "Stopped. What was done, as the commands"},
        {{"AsksAgainForATypeThatStartsPrograms"},
         {},
         "\n.exe .txt\n.txt\nn\nn\nn\n\n",
         {"opener-template register " + kLauncher + " .txt"},
         0,
         ".exe: Windows starts programs through .exe files"},
        {{"AFailedStepIsNotCalledNothing"},
         {},
         "\n.txt\nn\nn\nn\n\n",
         {},
         1,
         "Stopped. A step failed: what it left is said above it.",
         0},
        {{"ANewEditorIsWrittenIntoThePlacesItHolds"},
         {kRegisterTxt},
         "\n" + kEditor + "\n\n\n\n\n\n",
         {kSet, "opener-template register " + kLauncher + " .txt --menu"},
         0,
         "Done."},
        {{"AsksAgainForAFolder"}, {}, "C:\\Ed\n\n\nn\nn\nn\n\n", {}, 0, "that is a folder, not a program; try again."},
        {{"AsksAgainForAMissingEditor"},
         {},
         "C:\\Ed\\none.exe\n\n\nn\nn\nn\n\n",
         {},
         0,
         "Windows finds no program C:\\Ed\\none.exe; try again."},
    }),
    RowName());

}  // namespace
