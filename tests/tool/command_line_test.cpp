// Commands as the tool prints them: each row's arguments, written as one command line,
// are read back whole by CommandLineToArgvW's rules (written out here as Microsoft
// documents them; the Wine tests run printed commands through cmd.exe itself).
#include "command_line.h"

#include <gtest/gtest.h>

#include "rows.h"

namespace {

// The arguments of `line` as a program's start-up code reads them: 2n backslashes and a
// quote give n backslashes and open or close a quoted part, 2n+1 give n and a quote,
// backslashes elsewhere stand for themselves; blanks outside quotes separate.
std::vector<std::string> ArgumentsOf(const std::string& line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
      std::size_t backslashes = 0;
      for (; i < line.size() && line[i] == '\\'; ++i) ++backslashes;
      if (i < line.size() && line[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2)
          arg += '"';
        else
          quoted = !quoted;
      } else {
        arg.append(backslashes, '\\');
        if (i == line.size()) break;
        if (!quoted && (line[i] == ' ' || line[i] == '\t')) break;
        arg += line[i];
      }
    }
    args.push_back(arg);
  }
  return args;
}

struct QuoteRow : NamedRow {
  std::string arg, written;
};
class Quoting : public testing::TestWithParam<QuoteRow> {};
TEST_P(Quoting, WritesAnArgumentThatReadsBackWhole) {
  EXPECT_EQ(QuotedArgument(GetParam().arg), GetParam().written);
  const std::vector<std::string> args = {"C:\\Tools\\opener-template.exe", GetParam().arg, "last"};
  EXPECT_EQ(ArgumentsOf(CommandLineOf(args)), args);
}
INSTANTIATE_TEST_SUITE_P(
    CommandLine, Quoting,
    testing::Values(QuoteRow{{"Plain"}, "C:\\Tools\\a.exe", "C:\\Tools\\a.exe"},
                    QuoteRow{{"Blank"}, "C:\\My Tools\\a.exe", "\"C:\\My Tools\\a.exe\""},
                    QuoteRow{{"TrailingBackslash"}, "C:\\My Tools\\", "\"C:\\My Tools\\\\\""},
                    QuoteRow{{"Quote"}, "say \"hi\"", "\"say \\\"hi\\\"\""},
                    QuoteRow{{"BackslashBeforeQuote"}, "a\\\"b", "\"a\\\\\\\"b\""},
                    QuoteRow{{"CmdSpecial"}, "AT&T", "\"AT&T\""},
                    QuoteRow{{"Template"}, "\"C:\\Ed\\ed.exe\" \"%s\"", "\"\\\"C:\\Ed\\ed.exe\\\" \\\"%s\\\"\""},
                    QuoteRow{{"Empty"}, "", "\"\""},
                    QuoteRow{{"NonAscii"},
                             "C:\\\xc3\x89"
                             "d\\ed.exe",
                             "C:\\\xc3\x89"
                             "d\\ed.exe"}),
    RowName());

}  // namespace
