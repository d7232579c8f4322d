// Driving chains of stages in tests: a text fed in blocks of a chosen size, and
// what reaches the chain's end gathered.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "stream/byte_stages.h"
#include "stream/line_ends.h"
#include "stream/stage.h"

namespace stream_test {

// The end of a chain under test: every byte that reaches it, and how often it
// was finished.
class Collector : public stream::Stage {
 public:
  void Put(std::string& block) override {
    bytes += block;
    // Stages must not count on getting their buffer back.
    block.assign("spent");
  }
  void Finish() override { ++finished; }

  std::string bytes;
  int finished = 0;
};

// The text in blocks of blockSize bytes (the last one shorter), then Finish.
inline void FeedInBlocks(stream::Stage& head, std::string_view text, std::size_t blockSize) {
  for (std::size_t at = 0; at < text.size(); at += blockSize) {
    std::string block(text.substr(at, blockSize));
    head.Put(block);
  }
  head.Finish();
}

// The lines of the text, each followed by lineEnd, as the output chain writes
// them: the first byte 0 ends the text (its offset goes to cut).
inline std::string LinesWritten(std::string_view text, std::string_view lineEnd,
                                std::size_t blockSize, std::size_t* cut = nullptr) {
  Collector out;
  const stream::LineEndStyle style(lineEnd);
  stream::LineEndStage lines(out, style);
  std::uint64_t offset = std::string::npos;
  stream::ZeroCutStage zeroCut(lines, [&offset](std::uint64_t at) { offset = at; });
  FeedInBlocks(zeroCut, text, blockSize);
  if (cut) *cut = static_cast<std::size_t>(offset);
  return out.bytes;
}

}  // namespace stream_test
