// The running test's name, fit for a file or folder name: SUITE-NAME, with the / of a
// parameterised test's name (and, with `dots`, each .) made a -.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline std::string CurrentTestName(bool dots = false) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "-" + test->name();
  for (char& c : name) c = (c == '/' || (dots && c == '.')) ? '-' : c;
  return name;
}
