// One pair over a text in blocks against one replace-all over the whole text:
// matches cut by a block's edge, searches that repeat their own start, case
// folding, empty and longer replacements, results built in tiny pieces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "faststrings/replace_all.h"
#include "faststrings/upper_table_guard.h"
#include "stage_feed.h"
#include "stream/replace_stage.h"

namespace {

using namespace std::string_literals;
using stream_test::Collector;
using stream_test::FeedInBlocks;

std::string InBlocks(std::string_view text, std::string_view search, std::string_view replace,
                     CaseMode caseMode, std::size_t blockSize, std::size_t pieceSize,
                     bool* matched = nullptr, std::size_t most = kEveryMatch,
                     std::uint64_t* replaced = nullptr) {
  Collector out;
  stream::ReplaceStage stage(out, search, replace, caseMode, pieceSize, most);
  FeedInBlocks(stage, text, blockSize);
  EXPECT_EQ(out.finished, 1);
  if (matched) *matched = stage.Matched();
  if (replaced) *replaced = stage.Replaced();
  return out.bytes;
}

// The whole-text replace loop's result and count, for the first `most` matches.
std::pair<std::string, std::size_t> Whole(std::string_view text, std::string_view search,
                                          std::string_view replace, CaseMode caseMode,
                                          std::size_t most) {
  std::string result;
  const std::size_t replaced = ReplaceAllInto(result, text, search, replace, caseMode, most);
  return {replaced == 0 ? std::string(text) : result, replaced};
}

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(length(rng), ' ');
  for (char& c : text) c = alphabet[pick(rng)];
  return text;
}

struct SeamCase {
  std::string text;
  std::string search;
  std::string replace;
  std::string expected;
  CaseMode caseMode = CaseMode::Exact;
};

TEST(ReplaceStageTest, MatchesAcrossEveryBlockEdgeAreTheWholeTextsMatches) {
  const UpperTableGuard table(platform::CodePage::Windows1252);
  // clang-format off
  const std::vector<SeamCase> cases = {
      {"xcatx", "cat", "dog", "xdogx"},
      {"cacat", "cat", "dog", "cadog"},
      {"aaab", "aab", "X", "aX"},            // the held start is not the match's start
      {"abababc", "ababc", "X", "abX"},
      {"aaaa", "aa", "b", "bb"},             // no overlap
      {"aaa", "aa", "aaaa", "aaaaa"},        // the inserted text is never searched again
      {"ab", "abc", "X", "ab"},              // a start of the search left at the end
      {"\r\n\r\n", "\r\n", "", ""},
      {"a\r\nb", "\r\n", "\r\n\r\n", "a\r\n\r\nb"},
      {"x\0y"s, "\0"s, "--", "x--y"},
      {"CaT cAt", "cat", "dog", "dog dog", CaseMode::Folded},
      {"\xC4pfel \xE4pfel", "\xE4pfel", "X", "X X", CaseMode::Folded},
      {"\xC4pfel \xE4pfel", "\xE4pfel", "X", "\xC4pfel X"},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (std::size_t blockSize = 1; blockSize <= c.text.size() + 1; ++blockSize) {
      for (std::size_t pieceSize : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 16}) {
        EXPECT_EQ(InBlocks(c.text, c.search, c.replace, c.caseMode, blockSize, pieceSize),
                  c.expected)
            << testing::PrintToString(c.text) << " blocks of " << blockSize;
      }
    }
  }
}

TEST(ReplaceStageTest, RandomTextsInRandomBlocksGiveTheReplaceAllResult) {
  const UpperTableGuard table(platform::CodePage::Windows1252);
  std::mt19937 rng(4711);
  std::uniform_int_distribution<std::size_t> blockSize(1, 9);
  std::uniform_int_distribution<std::size_t> pieceSize(1, 6);
  const std::string alphabet = "aAbB\r\n\0"s;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(rng, alphabet, 40);
    std::string search = RandomText(rng, alphabet, 4);
    if (search.empty()) search = "a";
    const std::string replace = RandomText(rng, alphabet, 6);
    const CaseMode caseMode = round % 2 == 0 ? CaseMode::Exact : CaseMode::Folded;
    const std::string expected = ReplaceAll(text, search, replace, caseMode);
    bool matched = false;
    ASSERT_EQ(InBlocks(text, search, replace, caseMode, blockSize(rng), pieceSize(rng), &matched),
              expected)
        << testing::PrintToString(text) << " " << testing::PrintToString(search) << "="
        << testing::PrintToString(replace);
    ASSERT_EQ(matched, ReplaceAll(text, search, "\x7F", caseMode) != text);
  }
}

// A search longer than the blocks, made of repeats of its own start, so that the
// held end must be worked out over many blocks.
TEST(ReplaceStageTest, SearchesLongerThanTheBlocksAreFoundWhole) {
  std::mt19937 rng(99);
  const std::string search = "abaabaabab";
  for (int round = 0; round < 2000; ++round) {
    const std::string text = RandomText(rng, "ab", 120);
    const std::string expected = ReplaceAll(text, search, "<>", CaseMode::Exact);
    ASSERT_EQ(InBlocks(text, search, "<>", CaseMode::Exact, 1 + round % 5, 64), expected) << text;
    ASSERT_EQ(InBlocks(text, search, "<longer than the search>", CaseMode::Exact, 1 + round % 5, 2),
              ReplaceAll(text, search, "<longer than the search>", CaseMode::Exact))
        << text;
  }
}

TEST(ReplaceStageTest, LargeBlocksWithManyMatches) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += i % 7 == 0 ? "cat " : "dog ";
  for (std::size_t blockSize : {std::size_t{4093}, std::size_t{1} << 20}) {
    EXPECT_EQ(InBlocks(text, "cat", "kitten", CaseMode::Exact, blockSize, 1 << 16),
              ReplaceAll(text, "cat", "kitten", CaseMode::Exact));
    EXPECT_EQ(InBlocks(text, "cat ", "", CaseMode::Folded, blockSize, 1 << 16),
              ReplaceAll(text, "cat ", "", CaseMode::Folded));
  }
}

// Unicode-folded searches have matches of several lengths ("k" is also the
// three-byte Kelvin sign): every place that could begin one at a block's end is
// held back, and the held end is searched once more when the text ends.
TEST(ReplaceStageTest, UnicodeFoldedMatchesAcrossEveryBlockEdge) {
  // clang-format off
  const std::vector<SeamCase> cases = {
      {"xM\xC3\x9CLLERx", "m\xC3\xBCller", "_", "x_x"},
      {"\xE2\x84\xAA\xC3\xA4 k\xC3\x84", "k\xC3\xA4", "_", "_ _"},
      {"k\xC3\xA4", "\xE2\x84\xAA\xC3\xA4", "_", "_"},           // shorter than the search
      {"\xE2\x84\xAA\xC3\x84\xE2\x84\xAA\xC3\xA4k", "k\xC3\xA4", "<longer>", "<longer><longer>k"},
      {"\xC3\xA4\r\n\xC3\x84\r\n", "\xC3\x84\r\n", "", ""},
      {"\xC3\xA4\xC3\xC3\x84", "\xC3\xA4\xC3", "_", "_\xC3\x84"},  // lone lead byte
      {"a\xC3\xA4", "\xC3\x84\xC3\x84", "_", "a\xC3\xA4"},      // start of a match left
  };
  // clang-format on
  for (const auto& c : cases) {
    for (std::size_t blockSize = 1; blockSize <= c.text.size() + 1; ++blockSize) {
      for (std::size_t pieceSize : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 16}) {
        bool matched = false;
        EXPECT_EQ(InBlocks(c.text, c.search, c.replace, CaseMode::FoldedUnicode, blockSize,
                           pieceSize, &matched),
                  c.expected)
            << testing::PrintToString(c.text) << " blocks of " << blockSize;
        EXPECT_EQ(matched, c.expected != c.text);
      }
    }
  }
}

TEST(ReplaceStageTest, UnicodeFoldedRandomTextsInRandomBlocksGiveTheReplaceAllResult) {
  const std::vector<std::string> pieces = {
      "k",    "K",    "\xE2\x84\xAA", "\xC3\xA4",         "\xC3\x84",
      "\xC3", "\r\n", "\0"s,          "\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"};
  std::mt19937 rng(2026);
  std::uniform_int_distribution<std::size_t> blockSize(1, 9);
  std::uniform_int_distribution<std::size_t> count(0, 16);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  const auto randomText = [&](std::size_t n) {
    std::string text;
    for (; n > 0; --n) text += pieces[pick(rng)];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(count(rng));
    const std::string search = randomText(1 + round % 3) + "\xC3\xA4";
    const std::string replace = round % 2 ? "" : "<>";
    ASSERT_EQ(
        InBlocks(text, search, replace, CaseMode::FoldedUnicode, blockSize(rng), 1 + round % 5),
        ReplaceAll(text, search, replace, CaseMode::FoldedUnicode))
        << testing::PrintToString(text) << " " << testing::PrintToString(search);
    // Only the first few matches of the whole text (-k), wherever the seams fall.
    const std::size_t most = 1 + round % 3;
    std::uint64_t replaced = 0;
    const std::string limited = InBlocks(text, search, replace, CaseMode::FoldedUnicode,
                                         blockSize(rng), 1 + round % 5, nullptr, most, &replaced);
    const auto [expected, expectedCount] =
        Whole(text, search, replace, CaseMode::FoldedUnicode, most);
    ASSERT_EQ(limited, expected) << testing::PrintToString(text) << " " << most;
    ASSERT_EQ(replaced, expectedCount);
  }
}

// One mebibyte blocks, as whole-file runs read them, with a three-byte letter cut
// by every block's end.
TEST(ReplaceStageTest, UnicodeFoldedMatchCutByAMebibyteSeam) {
  const std::size_t block = std::size_t{1} << 20;
  std::string text(block - 1, 'x');
  text += "\xE1\xBA\x9E";  // capital sharp s, cut after its first byte
  text += std::string(block - 5, 'y');
  text += "\xC3\x9F\xC3\x9F";  // two small sharp s across the second seam
  const std::string expected =
      std::string(block - 1, 'x') + "_" + std::string(block - 5, 'y') + "__";
  EXPECT_EQ(InBlocks(text, "\xC3\x9F", "_", CaseMode::FoldedUnicode, block, 1 << 16), expected);
}

}  // namespace
