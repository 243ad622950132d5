// opener-template as a program, run by the tests: each test in a folder of its own,
// with a made-up launcher opener.exe in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pe_builder.h"
#include "process.h"
#include "test_name.h"

const std::string kTool = TemplateTool();

class ToolCli : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFolder(CurrentTestName());
    exe_ = folder_ + "opener.exe";
    WriteBytes(exe_, BuildPe());
  }

  ProcessResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProcess(kTool, args, input);
  }

  // True while `folder` holds a temporary file of a set (FILE.tmp-PID-N).
  static bool HoldsTemporaryFile(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
      if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
    return false;
  }

  // A refusal: the arguments, the name it is said of, and what is said.
  struct RefusalRow {
    std::vector<std::string> args;
    std::string named, message;
  };
  // Each row exits 1, saying "opener-template: NAMED: MESSAGE".
  void ExpectRefusals(const std::vector<RefusalRow>& rows) {
    for (const RefusalRow& row : rows) {
      ProcessResult result = Run(row.args);
      EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(row.args);
      EXPECT_EQ(result.err, "opener-template: " + row.named + ": " + row.message + "\n");
    }
  }

  std::string Show(const std::string& path) {
    ProcessResult shown = Run({"show", path});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    return shown.out;
  }

  std::string folder_;
  std::string exe_;
};
