#include "faststrings/replace_all.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "faststrings/fast_strings.h"
#include "faststrings/upper_table_guard.h"

namespace {

using namespace std::string_literals;
using platform::CodePage;

// Whether the search matches at source[i]; bytes compared directly or through
// UpperTable.
bool NaiveMatchAt(const std::string& source, std::size_t i, const std::string& search,
                  CaseMode caseMode) {
  auto equal = [&](char a, char b) {
    return caseMode == CaseMode::Exact ? a == b
                                       : UpperTable[static_cast<std::uint8_t>(a)] ==
                                             UpperTable[static_cast<std::uint8_t>(b)];
  };
  std::size_t k = 0;
  while (k < search.size() && equal(source[i + k], search[k])) ++k;
  return k == search.size();
}

// The first match's offset, or npos (always for an empty search).
std::size_t NaiveFind(const std::string& source, const std::string& search, CaseMode caseMode) {
  if (search.empty()) return std::string::npos;
  for (std::size_t i = 0; i + search.size() <= source.size(); ++i) {
    if (NaiveMatchAt(source, i, search, caseMode)) return i;
  }
  return std::string::npos;
}

// Left to right, no overlap, replacement never rescanned.
// The same for at most `most` matches; count tells how many were replaced.
std::string NaiveReplaceFirst(const std::string& source, const std::string& search,
                              const std::string& replace, CaseMode caseMode, std::size_t most,
                              std::size_t& count) {
  count = 0;
  if (search.empty()) return source;
  std::string out;
  std::size_t i = 0;
  while (i + search.size() <= source.size() && count < most) {
    if (NaiveMatchAt(source, i, search, caseMode)) {
      out += replace;
      i += search.size();
      ++count;
    } else {
      out += source[i++];
    }
  }
  out.append(source, i);
  return out;
}

std::string NaiveReplaceAll(const std::string& source, const std::string& search,
                            const std::string& replace, CaseMode caseMode) {
  std::size_t count = 0;
  return NaiveReplaceFirst(source, search, replace, caseMode, kEveryMatch, count);
}

struct ReplaceCase {
  std::string source;
  std::string search;
  std::string replace;
  CaseMode caseMode;
  std::string expected;
};

class ReplaceAllCaseTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllCaseTest, GivesExpectedBytes) {
  const ReplaceCase& p = GetParam();
  EXPECT_EQ(ReplaceAll(p.source, p.search, p.replace, p.caseMode), p.expected);
  std::string into = "stale";
  const bool replaced = ReplaceAllInto(into, p.source, p.search, p.replace, p.caseMode);
  EXPECT_EQ(replaced ? into : p.source, p.expected);
  if (!replaced) {
    EXPECT_EQ(into, "stale");
  }
  std::string inPlace = p.source;
  const bool changed = ReplaceAllInPlace(inPlace, p.search, p.replace, p.caseMode);
  EXPECT_EQ(inPlace, p.expected);
  EXPECT_EQ(changed, replaced);
  const PreparedReplacement prepared(p.search, p.replace, p.caseMode);
  std::string viaPrepared = "stale";
  EXPECT_EQ(prepared.ReplaceInto(viaPrepared, p.source) != 0, replaced);
  EXPECT_EQ(replaced ? viaPrepared : p.source, p.expected);
  EXPECT_EQ(prepared.FindIn(p.source) != nullptr, replaced);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ReplaceAllCaseTest,
    ::testing::Values(ReplaceCase{"aaa", "aa", "b", CaseMode::Exact, "ba"},
                      ReplaceCase{"abab", "ab", "abab", CaseMode::Exact, "abababab"},
                      ReplaceCase{"Hello HELLO", "hello", "x", CaseMode::Folded, "x x"},
                      ReplaceCase{"Hello HELLO", "hello", "x", CaseMode::Exact, "Hello HELLO"},
                      ReplaceCase{"ABC", "b", "x", CaseMode::Folded, "AxC"},
                      ReplaceCase{"abc", "B", "Xy", CaseMode::Folded, "aXyc"},
                      ReplaceCase{"a-b-c", "-", "", CaseMode::Exact, "abc"},
                      ReplaceCase{"a\r\nb\r\n", "\r\n", "", CaseMode::Exact, "ab"},
                      ReplaceCase{"a\r\nb\r\n", "\r\n", "\n", CaseMode::Folded, "a\nb\n"},
                      ReplaceCase{"a\nb\n", "\n", "\r\n", CaseMode::Exact, "a\r\nb\r\n"},
                      ReplaceCase{"ab", "abc", "x", CaseMode::Exact, "ab"},
                      ReplaceCase{"ab", "ab", "xy", CaseMode::Exact, "xy"},
                      ReplaceCase{"ab", "ab", "", CaseMode::Exact, ""},
                      ReplaceCase{"", "a", "b", CaseMode::Exact, ""},
                      ReplaceCase{"", "", "b", CaseMode::Folded, ""},
                      ReplaceCase{"abc", "", "zzz", CaseMode::Exact, "abc"},
                      ReplaceCase{"abc", "", "", CaseMode::Folded, "abc"},
                      ReplaceCase{"a\0b\0"s, "\0"s, "<0>", CaseMode::Exact, "a<0>b<0>"},
                      ReplaceCase{"a\0b\0c"s, "b\0c"s, "", CaseMode::Exact, "a\0"s},
                      ReplaceCase{"x\0y"s, "Y", "\0\0"s, CaseMode::Folded, "x\0\0\0"s},
                      ReplaceCase{"cat", "cat", "dog", CaseMode::Exact, "dog"},
                      ReplaceCase{"xcat", "cat", "dog", CaseMode::Exact, "xdog"},
                      ReplaceCase{"catx", "CAT", "dog", CaseMode::Folded, "dogx"}));

TEST(ReplaceAllTest, FoldsCodePageLettersOnlyWhenTheCodePageHasThem) {
  {
    UpperTableGuard guard(CodePage::Windows1252);
    EXPECT_EQ(ReplaceAll("caf\xC9 caf\xE9", "CAF\xE9", "tea", CaseMode::Folded), "tea tea");
    EXPECT_EQ(ReplaceAll("\x9F\xFF", "\xFF", "y", CaseMode::Folded), "yy");
    EXPECT_EQ(ReplaceAll("\xF7\xD7", "\xD7", "x", CaseMode::Folded), "\xF7x");
  }
  UpperTableGuard guard(CodePage::AsciiOnly);
  EXPECT_EQ(ReplaceAll("caf\xC9 caf\xE9", "CAF\xE9", "tea", CaseMode::Folded), "caf\xC9 tea");
}

TEST(ReplaceAllTest, MatchesAcrossLongTextsAndBlockTails) {
  // Matches in vector blocks, at the very start and the very end.
  std::string source;
  for (int i = 0; i < 500; ++i) source += (i % 7 == 0 ? "Cat" : "the dog ") + std::to_string(i);
  source = "cat" + source + "CAT";
  for (CaseMode caseMode : {CaseMode::Exact, CaseMode::Folded}) {
    EXPECT_EQ(ReplaceAll(source, "cat", "lion", caseMode),
              NaiveReplaceAll(source, "cat", "lion", caseMode));
    EXPECT_EQ(ReplaceAll(source, "cat", "", caseMode),
              NaiveReplaceAll(source, "cat", "", caseMode));
  }
}

TEST(ReplaceAllTest, IntoReusesTheCallersBuffer) {
  std::string output;
  output.reserve(4096);
  const char* buffer = output.data();
  for (const char* line : {"one cat", "two cats and a cat", "no match here", "cat"}) {
    const std::string expected = NaiveReplaceAll(line, "cat", "tiger", CaseMode::Exact);
    if (ReplaceAllInto(output, line, "cat", "tiger", CaseMode::Exact)) {
      EXPECT_EQ(output, expected);
    } else {
      EXPECT_EQ(std::string(line), expected);
    }
    EXPECT_EQ(output.data(), buffer) << "reallocated for " << line;
  }
}

TEST(ReplaceAllTest, InPlaceKeepsTheBufferAndDenseMatchesAcrossBatches) {
  // Thousands of matches: many batches, each writing behind the read position.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += i % 3 == 0 ? "\r\n" : "ab\r\n";
  const std::string expected = NaiveReplaceAll(text, "\r\n", "|", CaseMode::Exact);
  const char* buffer = text.data();
  EXPECT_TRUE(ReplaceAllInPlace(text, "\r\n", "|", CaseMode::Exact));
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.data(), buffer);
  std::string grown = "a.b.c";
  EXPECT_TRUE(ReplaceAllInPlace(grown, ".", "...", CaseMode::Exact));
  EXPECT_EQ(grown, "a...b...c");
  std::string untouched = "abc";
  EXPECT_FALSE(ReplaceAllInPlace(untouched, "x", "", CaseMode::Exact));
  EXPECT_EQ(untouched, "abc");
}

TEST(ReplaceAllTest, IntoDoesNotKeepPreviousContent) {
  std::string output(1000, 'z');
  ASSERT_TRUE(ReplaceAllInto(output, "a.b", ".", "::", CaseMode::Exact));
  EXPECT_EQ(output, "a::b");
}

TEST(ReplaceAllTest, LongReplacementAllocatesAboutTheOutput) {
  // Few matches in a large source with a replacement 1000 times the search:
  // sizing by the worst case would ask for gigabytes.
  std::string source(8 << 20, '.');
  for (std::size_t at = 0; at + 3 <= source.size(); at += 1 << 20) source.replace(at, 3, "cat");
  const std::string replace(3000, 'R');
  const std::string expected = NaiveReplaceAll(source, "cat", replace, CaseMode::Exact);
  for (CaseMode caseMode : {CaseMode::Exact, CaseMode::Folded}) {
    const std::string result = ReplaceAll(source, "cat", replace, caseMode);
    EXPECT_EQ(result, expected);
    EXPECT_LE(result.capacity(), expected.size() + expected.size() / 4);
    std::string into;
    ASSERT_TRUE(ReplaceAllInto(into, source, "cat", replace, caseMode));
    EXPECT_EQ(into.size(), expected.size());
    EXPECT_LE(into.capacity(), expected.size() + expected.size() / 4);
  }
}

TEST(ReplaceAllTest, ShrinkingResultGivesBackItsBuffer) {
  const std::string source(4 << 20, 'x');
  const std::string result = ReplaceAll(source, "xxxx", "", CaseMode::Exact);
  EXPECT_TRUE(result.empty());
  EXPECT_LT(result.capacity(), std::size_t{1} << 20);
  const std::string halved = ReplaceAll(source, "xx", "y", CaseMode::Exact);
  EXPECT_EQ(halved, std::string(2 << 20, 'y'));
  EXPECT_LE(halved.capacity(), 2 * halved.size());
}

TEST(ReplaceAllTest, RandomAgreesWithNaiveReference) {
  std::mt19937 random(7);
  const std::string alphabet = "abAB\xE9\xC9\xFF\x9F\r\n"s + std::string(1, '\0');
  auto randomText = [&](std::size_t maxLength, std::size_t minLength) {
    std::string text(minLength + random() % (maxLength - minLength + 1), ' ');
    for (char& c : text)
      c = alphabet[random() % 3 == 0 ? random() % alphabet.size() : random() % 4];
    return text;
  };
  std::string reused;
  for (CodePage codePage : {CodePage::Windows1252, CodePage::AsciiOnly}) {
    UpperTableGuard guard(codePage);
    for (int round = 0; round < 8000; ++round) {
      const std::string source = randomText(round % 10 == 0 ? 300 : 40, 0);
      const std::string search = randomText(4, round % 50 == 0 ? 0 : 1);
      const std::string replace = round % 5 == 0 ? "" : randomText(round % 7 == 0 ? 30 : 5, 0);
      for (CaseMode caseMode : {CaseMode::Exact, CaseMode::Folded}) {
        const std::string expected = NaiveReplaceAll(source, search, replace, caseMode);
        ASSERT_EQ(ReplaceAll(source, search, replace, caseMode), expected) << "round " << round;
        std::string inPlace = source;
        ReplaceAllInPlace(inPlace, search, replace, caseMode);
        ASSERT_EQ(inPlace, expected) << "round " << round;
        const std::string before = reused;
        if (ReplaceAllInto(reused, source, search, replace, caseMode)) {
          ASSERT_EQ(reused, expected) << "round " << round;
        } else {
          ASSERT_EQ(reused, before) << "round " << round;
          ASSERT_EQ(source, expected) << "round " << round;
        }
        // Prepared once, as line-by-line mode does for a run.
        const PreparedReplacement prepared(search, replace, caseMode);
        const char* const found = prepared.FindIn(source);
        const std::size_t first = NaiveFind(source, search, caseMode);
        ASSERT_EQ(
            found == nullptr ? std::string::npos : static_cast<std::size_t>(found - source.data()),
            first)
            << "round " << round;
        std::string viaPrepared;
        if (prepared.ReplaceInto(viaPrepared, source)) {
          ASSERT_EQ(viaPrepared, expected) << "round " << round;
        }
      }
    }
  }
}

// -k: every replace loop stops after `most` matches (across its batches of
// matches too) and says how many it replaced; the rest of the text stays as it is.
TEST(ReplaceAllTest, AtMostSoManyMatchesAreReplacedAndCounted) {
  std::mt19937 random(17);
  const std::string alphabet = "abAB\r\n";
  for (int round = 0; round < 6000; ++round) {
    // Dense texts with many matches cross the loops' batches of 64.
    std::string source(random() % (round % 10 == 0 ? 600 : 40), ' ');
    for (char& c : source) c = alphabet[random() % (round % 3 == 0 ? 2 : alphabet.size())];
    std::string search(1 + random() % 3, ' ');
    for (char& c : search) c = alphabet[random() % (round % 3 == 0 ? 2 : alphabet.size())];
    const std::string replace = std::string("xyzw").substr(0, random() % 5);
    const std::size_t limits[] = {1, 2, 63, 64, 65, 129, kEveryMatch};
    const std::size_t most = limits[random() % 7];
    for (CaseMode caseMode : {CaseMode::Exact, CaseMode::Folded}) {
      std::size_t expectedCount = 0;
      const std::string expected =
          NaiveReplaceFirst(source, search, replace, caseMode, most, expectedCount);
      const std::string trace = "round " + std::to_string(round) + " most " + std::to_string(most);
      std::string into;
      ASSERT_EQ(ReplaceAllInto(into, source, search, replace, caseMode, most), expectedCount)
          << trace;
      if (expectedCount != 0) ASSERT_EQ(into, expected) << trace;
      std::string inPlace = source;
      ASSERT_EQ(ReplaceAllInPlace(inPlace, search, replace, caseMode, most), expectedCount)
          << trace;
      ASSERT_EQ(inPlace, expected) << trace;
      const PreparedReplacement prepared(search, replace, caseMode);
      std::string viaPrepared;
      ASSERT_EQ(prepared.ReplaceInto(viaPrepared, source, most), expectedCount) << trace;
      if (expectedCount != 0) ASSERT_EQ(viaPrepared, expected) << trace;
    }
  }
}

TEST(ReplaceAllTest, InPlaceLoopStopsAtItsLimitAndSaysWhere) {
  std::string text = "cat cat cat";
  const PreparedSearch prepared("cat", CaseMode::Exact);
  char* const base = text.data();
  const InPlaceProgress progress =
      ReplaceMatchesInPlace(prepared.scan, base, base + text.size(), "x", 2);
  EXPECT_EQ(progress.replaced, 2u);
  // After the second match: "x x" written, the rest (" cat") starts at offset 7.
  EXPECT_EQ(progress.read - base, 7);
  EXPECT_EQ(progress.write - base, 3);
  EXPECT_EQ(std::string(base, progress.write), "x x");
}

}  // namespace
