// opener-template as a program, run by the tests: each test in a folder of its own,
// with a made-up launcher opener.exe in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pe_builder.h"
#include "process.h"

const std::string kTool = TemplateTool();

class Tool : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    for (char& c : name) c = (c == '/') ? '-' : c;
    folder_ = TestFolder(name);
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

  std::string Show(const std::string& path) {
    ProcessResult shown = Run({"show", path});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    return shown.out;
  }

  std::string folder_;
  std::string exe_;
};
