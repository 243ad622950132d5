// One idiom for the tests' tables: a row struct derives from NamedRow, so that its name
// both names its test (RowName) and is what a failure prints of it.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct NamedRow {
  const char* name;
  friend std::ostream& operator<<(std::ostream& out, const NamedRow& row) { return out << row.name; }
};

// The name of a row's test: the row's own name.
struct RowName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
