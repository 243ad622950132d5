// update's decisions over a folder in memory: launchers told apart by kind (here by the
// text after their image), each replaced by this release's of its kind with its template.
#include "update.h"

#include <gtest/gtest.h>

#include <map>

#include "pe_builder.h"
#include "template_file.h"

namespace {

std::string Launcher(const std::string& build, const std::string& templateText) {
  PeShape shape;
  shape.overlay = build;
  shape.templateText = templateText;
  return BuildPe(shape);
}

// A folder C:\T in memory; `busy` cannot be written (a launcher running).
struct Folder {
  std::map<std::string, std::string> files;
  std::string busy;
  UpdateIo Io() {
    UpdateIo io;
    io.isFolder = [](const std::string& path) { return path == "C:\\T"; };
    io.programsIn = [this](const std::string&) {
      std::vector<std::string> names;
      for (const auto& [name, bytes] : files) names.push_back(name);
      return names;
    };
    io.read = [this](const std::string& path, std::string& bytes) {
      if (files.count(path) == 0) return std::string("cannot read: no such file");
      bytes = files[path];
      return std::string();
    };
    io.kindOf = [](const std::string& bytes, std::size_t) {
      const std::string build = bytes.substr(bytes.size() - 8);
      return build == "old-wait" || build == "new-wait"   ? std::string("opener-wait")
             : build == "old-open" || build == "new-open" ? std::string("opener")
                                                          : std::string();
    };
    io.replace = [this](const std::string& path, const std::string& bytes) {
      if (path == busy) return std::string("cannot write " + path + ": access denied");
      files[path] = bytes;
      return std::string();
    };
    return io;
  }
};

const FreshLaunchers kFresh = {{"opener", Launcher("new-open", "x")}, {"opener-wait", Launcher("new-wait", "x")}};

TEST(Update, EachLauncherBecomesThisReleasesOfItsKindWithItsTemplate) {
  Folder folder;
  folder.files = {{"C:\\T\\opener.exe", Launcher("old-open", "\"C:\\Ed\\ed.exe\" \"%s\"")},
                  {"C:\\T\\opener-wait.exe", Launcher("old-wait", "\"C:\\Ed\\ed.exe\" -w \"%s\"")},
                  {"C:\\T\\notes.exe", Launcher("old-open", "notes \"%s\"")},
                  {"C:\\T\\opener-template.exe", BuildPe()},
                  {"C:\\T\\new.exe", Launcher("new-open", "\"%s\"")}};
  UpdateIo io = folder.Io();
  const UpdateOutcome first = Update({"C:\\T"}, kFresh, io);
  EXPECT_FALSE(first.failed);
  EXPECT_EQ(first.lines,
            "up to date: C:\\T\\new.exe (opener)\n"
            "updated: C:\\T\\notes.exe (opener), its template kept\n"
            "updated: C:\\T\\opener-wait.exe (opener-wait), its template kept\n"
            "updated: C:\\T\\opener.exe (opener), its template kept\n");
  for (const auto& [name, kind, text] :
       {std::tuple{"C:\\T\\opener.exe", "new-open", "\"C:\\Ed\\ed.exe\" \"%s\""},
        std::tuple{"C:\\T\\opener-wait.exe", "new-wait", "\"C:\\Ed\\ed.exe\" -w \"%s\""},
        std::tuple{"C:\\T\\notes.exe", "new-open", "notes \"%s\""}}) {
    std::size_t offset = 0;
    ASSERT_EQ(LocateTemplateBlock(folder.files[name], offset), "");
    EXPECT_EQ(ReadStoredTemplate(folder.files[name], offset), text) << name;
    EXPECT_EQ(folder.files[name].substr(folder.files[name].size() - 8), kind) << name;
  }
  EXPECT_EQ(folder.files["C:\\T\\opener-template.exe"], BuildPe());
  const auto updated = folder.files;
  const UpdateOutcome again = Update({"C:\\T"}, kFresh, io);
  EXPECT_EQ(folder.files, updated);
  EXPECT_EQ(again.lines.find("updated"), std::string::npos) << again.lines;
}

// What is left as it was is named, and the rest go on.
TEST(Update, WhatCannotBeUpdatedIsNamedAndTheRestGoOn) {
  Folder folder;
  folder.files = {{"C:\\T\\a.exe", Launcher("old-wait", "a \"%s\"")}, {"C:\\T\\b.exe", Launcher("old-open", "b")}};
  folder.busy = "C:\\T\\a.exe";
  UpdateIo io = folder.Io();
  const UpdateOutcome outcome =
      Update({"C:\\T", "C:\\none.exe", "C:\\T\\b.exe"}, {{"opener", kFresh.at("opener")}}, io);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.lines,
            "left as it was: C:\\T\\a.exe: a launcher of the kind opener-wait, which is not beside this "
            "opener-template\n"
            "updated: C:\\T\\b.exe (opener), its template kept\n"
            "left as it was: C:\\none.exe: cannot read: no such file\n"
            "up to date: C:\\T\\b.exe (opener)\n");
  EXPECT_EQ(Update({"C:\\T"}, kFresh, io).lines,
            "left as it was: C:\\T\\a.exe: cannot write C:\\T\\a.exe: access denied (a launcher cannot be replaced "
            "while it runs: a waiting one while its editor is open)\n"
            "up to date: C:\\T\\b.exe (opener)\n");
}

}  // namespace
