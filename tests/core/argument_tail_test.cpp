#include "argument_tail.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::string_view kOwnPath = R"(C:\Tools\opener.exe)";  // 19 bytes

// The command line in a heap block of exactly its size, so that AddressSanitizer
// reports any read past its terminating NUL.
struct ExactCommandLine {
  explicit ExactCommandLine(const std::string& text) : size(text.size() + 1), bytes(new char[size]) {
    std::memcpy(bytes.get(), text.c_str(), size);
  }
  std::size_t size;
  std::unique_ptr<char[]> bytes;
};

std::string TailOf(const std::string& commandLine, std::string_view ownPath = kOwnPath) {
  ExactCommandLine line(commandLine);
  const char* tail = FindArgumentTail(line.bytes.get(), ownPath);
  EXPECT_GE(tail, line.bytes.get());
  EXPECT_LT(tail, line.bytes.get() + line.size);  // inside the command line, NUL included
  return tail;
}

struct TailCase {
  const char* name;
  std::string commandLine;
  std::string tail;
  std::string_view ownPath = kOwnPath;
};

constexpr std::string_view kSpacedPath = R"(C:\Program Files\opener\opener.exe)";

// Names the row in test listings, in place of its raw bytes.
void PrintTo(const TailCase& row, std::ostream* out) { *out << row.name; }

class TailTable : public testing::TestWithParam<TailCase> {};

TEST_P(TailTable, Tail) { EXPECT_EQ(TailOf(GetParam().commandLine, GetParam().ownPath), GetParam().tail); }

// One row a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, TailTable,
    testing::Values(
        TailCase{"Quoted", R"("C:\Tools\opener.exe" C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailCase{"Unquoted", R"(C:\Tools\opener.exe C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailCase{"QuotedArgumentKeepsItsQuote", R"("C:\Tools\opener.exe" "C:\My Notes\a.txt")",
                 R"("C:\My Notes\a.txt")"},
        TailCase{"GluedQuotesPassedOver", R"("C:\Tools\opener.exe""C:\x.txt")", R"(C:\x.txt")"},
        TailCase{"NoArguments", R"("C:\Tools\opener.exe")", ""},
        TailCase{"OnlySpaces", R"("C:\Tools\opener.exe")" "    ", ""},
        TailCase{"OtherCase", R"(C:\TOOLS\OPENER.EXE x)", "x"},
        TailCase{"ShortName", R"(opener C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailCase{"TabIsKept", "C:\\Tools\\opener.exe\ta.txt", "\ta.txt"},
        TailCase{"ManyOpeningQuotes", R"("""C:\Tools\opener.exe" a)", "a"},
        TailCase{"ManyClosingQuotes", R"("C:\Tools\opener.exe"""  a b )", "a b "},
        TailCase{"InnerSpacesAndArgumentsKept", R"(C:\Tools\opener.exe  a   "b c"  )", R"(a   "b c"  )"},
        TailCase{"ShortQuotedName", R"("opener" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
        TailCase{"ShortQuotedNameWithSpace", R"("my opener" a.txt)", "a.txt"},
        TailCase{"ShortNameThenTab", "opener\ta.txt", "\ta.txt"},
        TailCase{"ShortNameAlone", "opener", ""},
        TailCase{"EmptyCommandLine", "", ""},
        TailCase{"EndsInsideOwnPath", R"(C:\Tools\ope)", ""},
        TailCase{"QuotedEndsInsideOwnPath", R"("C:\Tools\ope)", ""},
        TailCase{"OnlyQuotes", R"(""")", ""},
        TailCase{"TailHoldsPercentS", R"("C:\Tools\opener.exe" %s)", "%s"},
        TailCase{"SpacedWithoutExe", R"(C:\Program Files\opener\opener C:\a.txt)", R"(C:\a.txt)", kSpacedPath},
        TailCase{"SpacedForwardSlashes", R"(C:/Program Files/opener/opener.exe C:\a.txt)", R"(C:\a.txt)", kSpacedPath},
        TailCase{"SpacedOtherCaseNoExe", "c:\\PROGRAM FILES/Opener\\OPENER\ta", "\ta", kSpacedPath},
        TailCase{"QuotedWithoutExe", R"("C:\Program Files\opener\opener" "a b")", R"("a b")", kSpacedPath},
        TailCase{"OwnPathGoesOn", R"(C:\Program Files\opener\opener.exes a)", R"(Files\opener\opener.exes a)",
                 kSpacedPath},
        TailCase{"OtherExeGoesOn", R"(C:\Tools\opener.exe.exe a)", "a"}),
    [](const testing::TestParamInfo<TailCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(Tail, UnquotedOwnPathWithSpaces) {
  EXPECT_EQ(TailOf(R"(C:\Program Files\opener.exe a.txt)", R"(C:\Program Files\opener.exe)"), "a.txt");
}

TEST(Tail, OnlyAsciiCaseIsIgnored) {
  // A non-ASCII byte that differs is a different path: read the name as Windows does.
  EXPECT_EQ(TailOf("C:\\Jos\xc3\xa9\\o.exe a", "C:\\Jos\xc3\x89\\o.exe"), "a");
  EXPECT_EQ(TailOf("C:\\Jos\xc3\xa9\\o.exe a", "C:\\JOS\xc3\xa9\\O.EXE"), "a");
}

TEST(Tail, PointsIntoTheCommandLine) {
  const std::string line = R"("C:\Tools\opener.exe" C:\notes\plan.txt)";
  EXPECT_EQ(FindArgumentTail(line.c_str(), kOwnPath), line.c_str() + 22);
}

TEST(Tail, EmptyOwnPath) {
  // GetModuleFileNameA failed: the name is read as Windows reads it.
  EXPECT_EQ(TailOf(R"("C:\Tools\opener.exe" a)", ""), "a");
  EXPECT_EQ(TailOf(R"(C:\Tools\opener.exe a)", ""), "a");
}

}  // namespace
