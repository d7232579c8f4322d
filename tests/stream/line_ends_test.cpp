// Line ends in blocks: every kind of line break rewritten, the byte 0 that ends
// the text, the style of the input's first line end, at every block size, so a
// CR LF or a byte 0 on a block's edge is seen as well as one inside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "stage_feed.h"
#include "stream/line_ends.h"

namespace {

using namespace std::string_literals;
using stream_test::Collector;
using stream_test::FeedInBlocks;
using stream_test::LinesWritten;

constexpr std::size_t kNotCut = std::string::npos;

struct SplitCase {
  std::string text;
  std::string withCrLf;
  std::string withLf;
  std::string withCr;
  std::size_t cut;
};

TEST(LineEndsTest, EveryKindOfLineBreakBecomesTheLineEndAtEveryBlockSize) {
  // clang-format off
  const std::vector<SplitCase> cases = {
      {"", "", "", "", kNotCut},
      {"a", "a\r\n", "a\n", "a\r", kNotCut},
      {"a\r\n", "a\r\n", "a\n", "a\r", kNotCut},
      {"\r\n", "\r\n", "\n", "\r", kNotCut},
      {"\n\n\n", "\r\n\r\n\r\n", "\n\n\n", "\r\r\r", kNotCut},
      {"a\rb", "a\r\nb\r\n", "a\nb\n", "a\rb\r", kNotCut},
      {"a\n\rb", "a\r\n\r\nb\r\n", "a\n\nb\n", "a\r\rb\r", kNotCut},
      {"a\r\rb", "a\r\n\r\nb\r\n", "a\n\nb\n", "a\r\rb\r", kNotCut},
      {"a\r\r\n", "a\r\n\r\n", "a\n\n", "a\r\r", kNotCut},
      {"a\r\n\nb\r", "a\r\n\r\nb\r\n", "a\n\nb\n", "a\r\rb\r", kNotCut},
      {"x\r\ny\r\nz", "x\r\ny\r\nz\r\n", "x\ny\nz\n", "x\ry\rz\r", kNotCut},
      {"\r", "\r\n", "\n", "\r", kNotCut},
      {"\r\r", "\r\n\r\n", "\n\n", "\r\r", kNotCut},
      {"a\0b\r\nc"s, "a\r\n", "a\n", "a\r", 1},
      {"\0abc"s, "\r\n", "\n", "\r", 0},
      {"\0"s, "\r\n", "\n", "\r", 0},
      {"a\r\n\0b"s, "a\r\n", "a\n", "a\r", 3},
      {"a\r\0\nb"s, "a\r\n", "a\n", "a\r", 2},
      {"a\n\0"s, "a\r\n", "a\n", "a\r", 2},
      {"ab\r\ncd\r\nef\0"s, "ab\r\ncd\r\nef\r\n", "ab\ncd\nef\n", "ab\rcd\ref\r", 10},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (std::size_t blockSize = 1; blockSize <= c.text.size() + 1; ++blockSize) {
      SCOPED_TRACE(testing::PrintToString(c.text) + " in blocks of " + std::to_string(blockSize));
      std::size_t cut = 0;
      EXPECT_EQ(LinesWritten(c.text, "\r\n", blockSize, &cut), c.withCrLf);
      EXPECT_EQ(cut, c.cut);
      EXPECT_EQ(LinesWritten(c.text, "\n", blockSize), c.withLf);
      EXPECT_EQ(LinesWritten(c.text, "\r", blockSize), c.withCr);
    }
  }
}

TEST(LineEndsTest, LongLinesAndLongRunsStayWhole) {
  const std::string longLine(100000, 'q');
  const std::string text = longLine + "\n" + longLine + "\r" + longLine;
  for (std::size_t blockSize : {std::size_t{7}, std::size_t{4096}, std::size_t{1} << 20}) {
    EXPECT_EQ(LinesWritten(text, "\r\n", blockSize),
              longLine + "\r\n" + longLine + "\r\n" + longLine + "\r\n");
    EXPECT_EQ(LinesWritten(text, "\n", blockSize),
              longLine + "\n" + longLine + "\n" + longLine + "\n");
  }
  const std::string breaks(5000, '\n');
  EXPECT_EQ(LinesWritten(breaks, "\r\n", 333).size(), 10000u);
}

TEST(LineEndsTest, ConvertingTheWholeBlockGrowsAndShrinksInPlace) {
  struct Case {
    std::string block;
    std::string lineEnd;
    std::string converted;
  };
  const std::vector<Case> cases = {
      {"a\nb\n", "\r\n", "a\r\nb\r\n"},
      {"a\rb\r", "\r\n", "a\r\nb\r\n"},  // a CR at the end counts as a lone CR
      {"a\r\nb", "\r\n", "a\r\nb"},
      {"a\r\nb\rc\nd", "\n", "a\nb\nc\nd"},
      {"a\r\nb\rc\nd", "\r", "a\rb\rc\rd"},
      {"\r\n\r\n", "\r", "\r\r"},
      {"\n\r", "\r", "\r\r"},
      {"no breaks", "\n", "no breaks"},
      {"", "\r\n", ""},
  };
  for (const auto& c : cases) {
    std::string block = c.block;
    stream::ConvertLineBreaks(block, c.lineEnd);
    EXPECT_EQ(block, c.converted) << testing::PrintToString(c.block);
  }
  // Long enough for the vector count of lone breaks, with breaks in every lane.
  std::string mixed;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    const char* breaks[] = {"\n", "\r\n", "\r", "x"};
    mixed += breaks[i % 4];
    expected += i % 4 == 3 ? "x" : "\r\n";
  }
  stream::ConvertLineBreaks(mixed, "\r\n");
  EXPECT_EQ(mixed, expected);
}

struct StyleCase {
  std::string text;
  std::string lineEnd;
  bool ended;
};

TEST(LineEndsTest, ProbeFindsTheFirstLineEndAndWhetherTheLastLineEnded) {
  // clang-format off
  const std::vector<StyleCase> cases = {
      {"", "\r\n", true},
      {"abc", "\r\n", false},
      {"a\nb\r\n", "\n", true},
      {"a\r\nb\n", "\r\n", true},
      {"a\rb\r\n", "\r", true},
      {"a\r", "\r", true},
      {"a\r\n", "\r\n", true},
      {"\n", "\n", true},
      {"a\nb", "\n", false},
      {"a\r\rb", "\r", false},
  };
  // clang-format on
  for (const auto& c : cases) {
    stream::LineEndStyle whole;
    stream::DetectLineEnds(c.text, whole);
    EXPECT_EQ(whole.LineEnd(), c.lineEnd) << testing::PrintToString(c.text);
    EXPECT_EQ(whole.InputEndsWithLineEnd(), c.ended) << testing::PrintToString(c.text);
    for (std::size_t blockSize = 1; blockSize <= c.text.size() + 1; ++blockSize) {
      SCOPED_TRACE(testing::PrintToString(c.text) + " in blocks of " + std::to_string(blockSize));
      Collector out;
      stream::LineEndStyle style;
      stream::LineEndProbe probe(out, style, std::string::npos);
      FeedInBlocks(probe, c.text, blockSize);
      EXPECT_EQ(out.bytes, c.text);
      EXPECT_EQ(out.finished, 1);
      EXPECT_EQ(style.LineEnd(), c.lineEnd);
      EXPECT_EQ(style.InputEndsWithLineEnd(), c.ended);
    }
  }
}

// Nothing passes the probe before the style is known, unless the hold limit is
// reached; then everything passes at once, in order.
TEST(LineEndsTest, ProbeHoldsTheTextUntilTheStyleIsKnownOrItsLimit) {
  class StyleAtArrival : public stream::Stage {
   public:
    explicit StyleAtArrival(const stream::LineEndStyle& style) : style_(style) {}
    void Put(std::string& block) override {
      bytes += block;
      knownAtEveryPut = knownAtEveryPut && style_.Known();
    }
    void Finish() override {}
    std::string bytes;
    bool knownAtEveryPut = true;

   private:
    const stream::LineEndStyle& style_;
  };
  const std::string text = std::string(50, 'a') + "\r" + "\nrest";
  {
    stream::LineEndStyle style;
    StyleAtArrival out(style);
    stream::LineEndProbe probe(out, style, std::string::npos);
    FeedInBlocks(probe, text, 3);
    EXPECT_EQ(out.bytes, text);
    EXPECT_TRUE(out.knownAtEveryPut);
    EXPECT_EQ(style.LineEnd(), "\r\n");
  }
  {
    stream::LineEndStyle style;
    StyleAtArrival out(style);
    stream::LineEndProbe probe(out, style, 10);
    FeedInBlocks(probe, text, 3);
    EXPECT_EQ(out.bytes, text);
    EXPECT_FALSE(out.knownAtEveryPut);
    EXPECT_EQ(style.LineEnd(), "\r\n");
  }
}

TEST(LineEndsTest, UnknownStyleIsAFailureNotAGuess) {
  stream::LineEndStyle style;
  EXPECT_FALSE(style.Known());
  EXPECT_THROW(style.LineEnd(), Exception);
}

}  // namespace
