// Lines changed, counted while the result passes: the result in blocks of any
// size, the input read back in pieces of any size, so CR LF pairs and lines fall
// across both kinds of seam; against a count over the whole texts.
#include "stream/changed_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "stage_feed.h"

namespace {

using namespace std::string_literals;
using stream_test::Collector;
using stream_test::FeedInBlocks;

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  stream::LineSplitter splitter;
  const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
  splitter.Add(text, keep);
  splitter.End(keep);
  return lines;
}

// The input read back `piece` bytes at a time at most.
std::uint64_t Counted(const std::string& input, const std::string& result, std::size_t block,
                      std::size_t piece, bool endsAtZero = false) {
  std::size_t at = 0;
  Collector out;
  stream::ChangedLineCounter counter(
      out,
      [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min({size, piece, input.size() - at});
        std::memcpy(buffer, input.data() + at, n);
        at += n;
        return n;
      },
      endsAtZero);
  FeedInBlocks(counter, result, block);
  EXPECT_EQ(out.bytes, result);  // passed on unchanged
  return counter.Changed();
}

TEST(LineSplitterTest, LinesAndTheirEndsAcrossPieces) {
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {{"", {}},
               {"a", {"a"}},
               {"a\r\nb\r\n", {"a", "b"}},
               {"a\rb\nc", {"a", "b", "c"}},
               {"\r\n\r\n", {"", ""}},
               {"\n\r", {"", ""}},
               {"x\r\r\ny", {"x", "", "y"}}};
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= 4; ++piece) {
      std::vector<std::string> got;
      stream::LineSplitter splitter;
      const auto keep = [&got](std::string_view line) { got.emplace_back(line); };
      for (std::size_t at = 0; at < c.text.size(); at += piece) {
        splitter.Add(std::string_view(c.text).substr(at, piece), keep);
      }
      splitter.End(keep);
      EXPECT_EQ(got, c.lines) << testing::PrintToString(c.text) << " in pieces of " << piece;
    }
  }
}

TEST(ChangedLineCounterTest, SmallCases) {
  const struct {
    std::string input;
    std::string result;
    std::uint64_t changed;
  } cases[] = {
      {"", "", 0},
      {"a\nb\n", "a\r\nb\r\n", 0},  // line ends are not compared
      {"a\nb\n", "a\r\nB\r\n", 1},
      {"a\nb\nc\n", "a\r\n", 2},      // lines the result lost
      {"a\n", "a\r\nx\r\ny\r\n", 2},  // lines only the result has
      {"a\rb", "a\r\nb\r\n", 0},      // a lone CR and an unended last line
      {"a\n\n", "a\r\n", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Counted(c.input, c.result, 1, 1), c.changed)
        << testing::PrintToString(c.input) << " " << testing::PrintToString(c.result);
    EXPECT_EQ(Counted(c.input, c.result, 100, 100), c.changed);
  }
  // The input's first byte 0 ends its text; one at the start leaves one empty line.
  EXPECT_EQ(Counted("a\nb\0c\nd\n"s, "a\r\nb\r\n", 2, 3, true), 0u);
  EXPECT_EQ(Counted("\0abc"s, "\r\n", 2, 3, true), 0u);
  EXPECT_EQ(Counted("a\nb\0c\nd\n"s, "a\r\nb\r\n", 2, 3, false), 2u);
}

TEST(ChangedLineCounterTest, RandomTextsInRandomBlocksAndPieces) {
  std::mt19937 random(31);
  const std::string alphabet = "ab\r\n";
  for (int round = 0; round < 3000; ++round) {
    std::string input(random() % 30, ' ');
    for (char& c : input) c = alphabet[random() % alphabet.size()];
    std::string result = input;
    for (char& c : result) {
      if (random() % 8 == 0) c = alphabet[random() % alphabet.size()];
    }
    const std::vector<std::string> a = Lines(input);
    const std::vector<std::string> b = Lines(result);
    std::uint64_t expected = std::max(a.size(), b.size()) - std::min(a.size(), b.size());
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) expected += a[i] != b[i];
    ASSERT_EQ(Counted(input, result, 1 + random() % 5, 1 + random() % 5), expected)
        << testing::PrintToString(input) << " " << testing::PrintToString(result);
  }
}

}  // namespace
