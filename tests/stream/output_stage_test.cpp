// The chain's end: header and footer around the lines, the trailer, the last
// line end left out as the input did (--keep-eol), small pieces gathered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stage_feed.h"
#include "stream/output_stage.h"

namespace {

using stream_test::FeedInBlocks;

struct FrameCase {
  std::string lines;  // already ended
  std::string lineEnd;
  stream::OutputFrame frame;
  bool inputEnded;
  std::string written;
};

stream::OutputFrame Frame(std::string header, std::string footer, std::string trailer,
                          bool lastLineEndAsInput) {
  stream::OutputFrame frame;
  frame.header = std::move(header);
  frame.footer = std::move(footer);
  frame.trailer = std::move(trailer);
  frame.lastLineEndAsInput = lastLineEndAsInput;
  return frame;
}

TEST(OutputStageTest, FramesTheLinesAndLeavesOutTheLastLineEndOnlyAsTheInputDid) {
  // clang-format off
  const std::vector<FrameCase> cases = {
      {"", "\r\n", Frame("", "", "", false), true, ""},
      {"", "\r\n", Frame("", "", "\r\n", false), true, "\r\n"},
      {"", "\r\n", Frame("top", "", "", false), true, "top\r\n"},
      {"a\r\n", "\r\n", Frame("top", "end", "\r\n", false), true, "top\r\na\r\nend\r\n\r\n"},
      {"a\n", "\n", Frame("top", "end", "", false), true, "top\na\nend\n"},
      // Header and footer go out unchanged, even with line breaks and bytes 0.
      {"a\r\n", "\r\n", Frame("t\r1\n2", std::string("f\0x", 3), "", false), true,
       std::string("t\r1\n2\r\na\r\nf\0x\r\n", 15)},
      // --keep-eol: the input's last line had no line end, so the output's has none.
      {"a\nb\n", "\n", Frame("", "", "", true), false, "a\nb"},
      {"a\nb\n", "\n", Frame("", "", "", true), true, "a\nb\n"},
      {"a\rb\r", "\r", Frame("top", "end", "", true), false, "top\ra\rb\rend"},
      {"a\r\n", "\r\n", Frame("", "", "", true), false, "a"},
      {"", "\r\n", Frame("top", "", "", true), false, "top"},
      {"", "\r\n", Frame("", "", "", true), false, ""},
      {"x\n", "\n", Frame("", "", "", true), false, "x"},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (std::size_t blockSize = 1; blockSize <= c.lines.size() + 1; ++blockSize) {
      SCOPED_TRACE(testing::PrintToString(c.lines) + " in blocks of " + std::to_string(blockSize));
      std::string written;
      int sinkCalls = 0;
      stream::LineEndStyle style(c.lineEnd);
      style.SetInputEndsWithLineEnd(c.inputEnded);
      stream::OutputStage out(
          [&](std::string_view bytes) {
            written += bytes;
            ++sinkCalls;
          },
          style, c.frame);
      FeedInBlocks(out, c.lines, blockSize);
      EXPECT_EQ(written, c.written);
      // Small pieces reach the sink gathered into one write.
      EXPECT_LE(sinkCalls, 1);
    }
  }
}

TEST(OutputStageTest, LargePiecesGoStraightToTheSink) {
  std::vector<std::size_t> pieces;
  stream::PieceWriter writer([&pieces](std::string_view bytes) { pieces.push_back(bytes.size()); });
  const std::string small(100, 's');
  const std::string large(1 << 20, 'L');
  writer.Put(small);
  writer.Put(small);
  writer.Put(large);
  writer.Put(small);
  writer.Flush();
  EXPECT_EQ(pieces, (std::vector<std::size_t>{200, 1 << 20, 100}));
}

}  // namespace
