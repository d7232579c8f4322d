#include "faststrings/fast_strings.h"

#include <gtest/gtest.h>

#include <string>

#include "base/exceptions.h"
#include "faststrings/upper_table_guard.h"
#include "platform/system.h"

namespace {

using namespace std::string_literals;
using platform::CodePage;

std::uint8_t U(char c) {
  return static_cast<std::uint8_t>(c);
}

// Every entry is `others` except the listed ones.
void ExpectTable(const SkipTable& table, std::int32_t others,
                 std::initializer_list<std::pair<int, std::int32_t>> entries) {
  SkipTable expected;
  expected.fill(others);
  for (auto [byte, value] : entries) expected[byte] = value;
  for (int b = 0; b < 256; ++b) EXPECT_EQ(table[b], expected[b]) << "byte " << b;
}

TEST(SkipTableTest, EntriesKeepSmallestDistanceAndSkipLastPosition) {
  SkipTable table;
  MakeSkipTable("abcab", 5, table);
  ExpectTable(table, 5, {{'a', 1}, {'b', 3}, {'c', 2}});
  MakeSkipTable("aaa", 3, table);
  ExpectTable(table, 3, {{'a', 1}});
  MakeSkipTable("x", 1, table);
  ExpectTable(table, 1, {{'x', 0}});
  // A byte 0 in the pattern is entered like any other byte.
  MakeSkipTable("\0b\0"s.data(), 3, table);
  ExpectTable(table, 3, {{0, 2}, {'b', 1}});
}

TEST(SkipTableTest, EmptyPatternRaisesAndLeavesTableAlone) {
  SkipTable table;
  table.fill(77);
  for (auto build : {&MakeSkipTable, &MakeSkipTableNoCase}) {
    try {
      build("abc", 0, table);
      ADD_FAILURE() << "no failure raised";
    } catch (const Exception& failure) {
      EXPECT_EQ(failure.Message(), "BufferLen is 0");
      EXPECT_STREQ(failure.ClassName(), "Exception");
    }
    ExpectTable(table, 77, {});
  }
}

TEST(SkipTableTest, NoCaseIndexesByFoldedByte) {
  UpperTableGuard guard(CodePage::Windows1252);
  SkipTable table;
  MakeSkipTableNoCase("aBc\xE9x", 5, table);
  // Folded entries only: a, b and e-acute stand under their upper-case forms.
  ExpectTable(table, 5, {{'A', 4}, {'B', 3}, {'C', 2}, {0xC9, 1}});
}

TEST(UpperTableTest, FollowsCodePage) {
  const auto western = MakeUpperTable(CodePage::Windows1252);
  const auto ascii = MakeUpperTable(CodePage::AsciiOnly);
  EXPECT_EQ(western[U('a')], U('A'));
  EXPECT_EQ(ascii[U('a')], U('A'));
  EXPECT_EQ(western[0xE9], 0xC9);
  EXPECT_EQ(ascii[0xE9], 0xE9);
  EXPECT_EQ(western[0xFF], 0x9F);
  EXPECT_EQ(western[0xF7], 0xF7);
  EXPECT_EQ(western[0xC9], 0xC9);
  EXPECT_EQ(western[0], 0);
}

TEST(UpperTableTest, StartUpInstallsActiveCodePage) {
  UpperTableGuard guard(std::array<std::uint8_t, 256>{});
  FastStringsStartUp();
  EXPECT_EQ(UpperTable, MakeUpperTable(platform::ActiveCodePage()));
}

const char* Search(std::string_view text, std::string_view pattern, bool noCase) {
  SkipTable table;
  const auto m = static_cast<std::int32_t>(pattern.size());
  if (noCase) {
    MakeSkipTableNoCase(pattern.data(), m, table);
    return SkipSearchNoCase(text.data(), pattern.data(), text.size(), m, table);
  }
  MakeSkipTable(pattern.data(), m, table);
  return SkipSearch(text.data(), pattern.data(), text.size(), m, table);
}

TEST(SkipSearchTest, SmallCases) {
  const std::string aab = "aab";
  EXPECT_EQ(Search(aab, "ab", false), aab.data() + 1);
  EXPECT_EQ(Search("ab", "abc", false), nullptr);
  const std::string hello = "say hello";
  EXPECT_EQ(Search(hello, "HeLLo", true), hello.data() + 4);
  EXPECT_EQ(Search(hello, "HeLLo", false), nullptr);
  EXPECT_EQ(Search("", "a", false), nullptr);
  EXPECT_EQ(Search("", "a", true), nullptr);
}

TEST(SkipSearchTest, NulIsAnOrdinaryByte) {
  const std::string text = "ab\0cd\0\0ef"s;
  EXPECT_EQ(Search(text, "\0\0"s, false), text.data() + 5);
  EXPECT_EQ(Search(text, "d\0\0E"s, true), text.data() + 4);
  EXPECT_EQ(Search(text, "ef", false), text.data() + 7);
  EXPECT_EQ(Search(text, "\0x"s, false), nullptr);
}

TEST(SkipSearchTest, ReturnsLeftmostOfSeveral) {
  const std::string text = "xxabcabcab";
  EXPECT_EQ(Search(text, "abcab", false), text.data() + 2);
  EXPECT_EQ(Search(text, "BCA", true), text.data() + 3);
}

TEST(SkipPosTest, StartPositions) {
  EXPECT_EQ(SkipPos("abcabc", "bc", 1), 2u);
  EXPECT_EQ(SkipPos("abcabc", "bc", 3), 5u);
  EXPECT_EQ(SkipPos("abcabc", "bc", 5), 5u);
  EXPECT_EQ(SkipPos("abcabc", "bc", 6), 0u);
  EXPECT_EQ(SkipPos("abcabc", "", 1), 0u);
  EXPECT_EQ(SkipPos("ab", "abc", 1), 0u);
  EXPECT_EQ(SkipPos("abcabc", "BC", 1), 0u);  // always case-sensitive
  EXPECT_EQ(SkipPos("ab\0c"s, "\0c"s, 1), 3u);
}

TEST(SkipPosTest, StartOutsideTextReadsNothingOutside) {
  // A start of 0 counts as 1; starts far past the end give 0 instead of a
  // negative length.
  EXPECT_EQ(SkipPos("abcabc", "ab", 0), 1u);
  EXPECT_EQ(SkipPos("abcabc", "bc", 7), 0u);
  EXPECT_EQ(SkipPos("abcabc", "bc", 1000), 0u);
}

struct BytePosCase {
  char c;
  std::string text;
  CaseMode caseMode;
  std::int64_t start;
  std::size_t expected;
};

class BytePosTest : public ::testing::TestWithParam<BytePosCase> {};

TEST_P(BytePosTest, Finds) {
  const BytePosCase& p = GetParam();
  EXPECT_EQ(BytePos(p.c, p.text, p.caseMode, p.start), p.expected)
      << p.text << " start " << p.start;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BytePosTest,
    ::testing::Values(BytePosCase{'=', "key=value", CaseMode::Exact, 1, 4},
                      BytePosCase{'=', "=value", CaseMode::Exact, 1, 1},
                      BytePosCase{'=', "", CaseMode::Exact, 1, 0},
                      BytePosCase{'=', "", CaseMode::Folded, 0, 0},
                      BytePosCase{'=', "", CaseMode::Exact, -5, 0},
                      BytePosCase{'=', "=value", CaseMode::Exact, 0, 1},
                      BytePosCase{'=', "=value", CaseMode::Exact, -3, 1},
                      BytePosCase{'=', "a=b=c", CaseMode::Exact, 3, 4},
                      BytePosCase{'=', "a=b=c", CaseMode::Exact, 5, 0},
                      BytePosCase{'=', "a=b=", CaseMode::Exact, 4, 4},
                      BytePosCase{'=', "a=b=", CaseMode::Exact, 5, 0},
                      BytePosCase{'A', "xay", CaseMode::Folded, 1, 2},
                      BytePosCase{'A', "xay", CaseMode::Exact, 1, 0},
                      BytePosCase{'a', "xAy", CaseMode::Folded, 1, 2},
                      BytePosCase{'\0', std::string("a\0b", 3), CaseMode::Exact, 1, 2},
                      BytePosCase{'\0', std::string("a\0b", 3), CaseMode::Folded, 3, 0}));

TEST(BytePosTest, NoCaseFollowsUpperTable) {
  {
    UpperTableGuard guard(CodePage::Windows1252);
    EXPECT_EQ(BytePosNoCase("x\xC9y", '\xE9', 1), 2u);
    EXPECT_EQ(BytePosNoCase("x\x9Fy", '\xFF', 1), 2u);
  }
  UpperTableGuard guard(CodePage::AsciiOnly);
  EXPECT_EQ(BytePosNoCase("x\xC9y", '\xE9', 1), 0u);
  EXPECT_EQ(BytePosExact("x\xC9y", '\xC9', 1), 2u);
}

TEST(CopyBytesTest, CopiesExactlyCountBytes) {
  const std::string source = "a\0\r\nb"s;
  std::string destination = "-------";
  CopyBytes(source.data(), destination.data() + 1, source.size());
  EXPECT_EQ(destination, "-a\0\r\nb-"s);
  CopyBytes(nullptr, nullptr, 0);
  CopyBytes(source.data(), destination.data(), 0);
  EXPECT_EQ(destination, "-a\0\r\nb-"s);
}

}  // namespace
