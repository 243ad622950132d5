#include "argument_tail.h"

#include <gtest/gtest.h>

#include "rows.h"

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

struct TailRow : NamedRow {
  std::string commandLine;
  std::string tail;
  std::string_view ownPath = kOwnPath;
};

constexpr std::string_view kSpacedPath = R"(C:\Program Files\opener\opener.exe)";

class TailTable : public testing::TestWithParam<TailRow> {};

TEST_P(TailTable, Tail) { EXPECT_EQ(TailOf(GetParam().commandLine, GetParam().ownPath), GetParam().tail); }

// One row a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    ArgumentTail, TailTable,
    testing::Values(
        TailRow{"Quoted", R"("C:\Tools\opener.exe" C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailRow{"Unquoted", R"(C:\Tools\opener.exe C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailRow{"QuotedArgumentKeepsItsQuote", R"("C:\Tools\opener.exe" "C:\My Notes\a.txt")",
                 R"("C:\My Notes\a.txt")"},
        TailRow{"GluedQuotesPassedOver", R"("C:\Tools\opener.exe""C:\x.txt")", R"(C:\x.txt")"},
        TailRow{"NoArguments", R"("C:\Tools\opener.exe")", ""},
        TailRow{"OnlySpaces", R"("C:\Tools\opener.exe")" "    ", ""},
        TailRow{"OtherCase", R"(C:\TOOLS\OPENER.EXE x)", "x"},
        TailRow{"ShortName", R"(opener C:\notes\plan.txt)", R"(C:\notes\plan.txt)"},
        TailRow{"TabIsKept", "C:\\Tools\\opener.exe\ta.txt", "\ta.txt"},
        TailRow{"ManyOpeningQuotes", R"("""C:\Tools\opener.exe" a)", "a"},
        TailRow{"ManyClosingQuotes", R"("C:\Tools\opener.exe"""  a b )", "a b "},
        TailRow{"InnerSpacesAndArgumentsKept", R"(C:\Tools\opener.exe  a   "b c"  )", R"(a   "b c"  )"},
        TailRow{"ShortQuotedName", R"("opener" "C:\My Notes\a.txt")", R"("C:\My Notes\a.txt")"},
        TailRow{"ShortQuotedNameWithSpace", R"("my opener" a.txt)", "a.txt"},
        TailRow{"ShortNameThenTab", "opener\ta.txt", "\ta.txt"},
        TailRow{"ShortNameAlone", "opener", ""},
        TailRow{"EmptyCommandLine", "", ""},
        TailRow{"EndsInsideOwnPath", R"(C:\Tools\ope)", ""},
        TailRow{"QuotedEndsInsideOwnPath", R"("C:\Tools\ope)", ""},
        TailRow{"OnlyQuotes", R"(""")", ""},
        TailRow{"TailHoldsPercentS", R"("C:\Tools\opener.exe" %s)", "%s"},
        TailRow{"SpacedWithoutExe", R"(C:\Program Files\opener\opener C:\a.txt)", R"(C:\a.txt)", kSpacedPath},
        TailRow{"SpacedForwardSlashes", R"(C:/Program Files/opener/opener.exe C:\a.txt)", R"(C:\a.txt)", kSpacedPath},
        TailRow{"SpacedOtherCaseNoExe", "c:\\PROGRAM FILES/Opener\\OPENER\ta", "\ta", kSpacedPath},
        TailRow{"QuotedWithoutExe", R"("C:\Program Files\opener\opener" "a b")", R"("a b")", kSpacedPath},
        TailRow{"OwnPathGoesOn", R"(C:\Program Files\opener\opener.exes a)", R"(Files\opener\opener.exes a)",
                 kSpacedPath},
        TailRow{"OtherExeGoesOn", R"(C:\Tools\opener.exe.exe a)", "a"}),
    RowName());
// clang-format on

TEST(ArgumentTail, UnquotedOwnPathWithSpaces) {
  EXPECT_EQ(TailOf(R"(C:\Program Files\opener.exe a.txt)", R"(C:\Program Files\opener.exe)"), "a.txt");
}

TEST(ArgumentTail, OnlyAsciiCaseIsIgnored) {
  // A non-ASCII byte that differs is a different path: read the name as Windows does.
  EXPECT_EQ(TailOf("C:\\Jos\xc3\xa9\\o.exe a", "C:\\Jos\xc3\x89\\o.exe"), "a");
  EXPECT_EQ(TailOf("C:\\Jos\xc3\xa9\\o.exe a", "C:\\JOS\xc3\xa9\\O.EXE"), "a");
}

TEST(ArgumentTail, PointsIntoTheCommandLine) {
  const std::string line = R"("C:\Tools\opener.exe" C:\notes\plan.txt)";
  EXPECT_EQ(FindArgumentTail(line.c_str(), kOwnPath), line.c_str() + 22);
}

TEST(ArgumentTail, EmptyOwnPath) {
  // GetModuleFileNameA failed: the name is read as Windows reads it.
  EXPECT_EQ(TailOf(R"("C:\Tools\opener.exe" a)", ""), "a");
  EXPECT_EQ(TailOf(R"(C:\Tools\opener.exe a)", ""), "a");
}

}  // namespace
