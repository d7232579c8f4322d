// Line ends in a text that passes in blocks. CR LF, a lone CR and a lone LF each
// end a line; a line end at the very end of the text adds no empty line, and an
// unended last line gets one.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "stream/stage.h"

namespace stream {

inline bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

// Every line break of the block becomes lineEnd ("\r\n", "\n" or "\r"), in the
// block's own buffer; a CR at the block's end counts as a lone CR.
void ConvertLineBreaks(std::string& block, std::string_view lineEnd);

// The line end lines are written with: a fixed one, or (--keep-eol) the one of
// the input's first line end, which a probe finds while the text passes. Read and
// written from both threads of a pipeline.
class LineEndStyle {
 public:
  LineEndStyle() = default;  // unknown until Set
  explicit LineEndStyle(std::string_view lineEnd) { Set(lineEnd); }

  bool Known() const { return kind_.load(std::memory_order_acquire) != Kind::Unknown; }
  // Raises when it is not known yet.
  std::string_view LineEnd() const;
  void Set(std::string_view lineEnd);

  // Whether the input ended with a line end (an empty input counts as ended); set
  // by the probe when the input is finished.
  bool InputEndsWithLineEnd() const { return inputEnded_.load(std::memory_order_acquire); }
  void SetInputEndsWithLineEnd(bool ended) { inputEnded_.store(ended, std::memory_order_release); }

 private:
  enum class Kind { Unknown, CrLf, Lf, Cr };
  std::atomic<Kind> kind_{Kind::Unknown};
  std::atomic<bool> inputEnded_{true};
};

// The same for a text held whole.
void DetectLineEnds(std::string_view text, LineEndStyle& style);

// Finds the style of the input's first line end (none: CR LF) and whether the
// input's last line ended, passing the text on unchanged. Until the style is
// known the text is held back, up to holdLimit bytes; past that it goes on (only
// safe when nothing downstream needs the line end before the input's first one
// has passed: no pair makes a line break, no header).
class LineEndProbe : public Stage {
 public:
  LineEndProbe(Stage& next, LineEndStyle& style, std::size_t holdLimit)
      : style_(style), next_(next), holdLimit_(holdLimit) {}

  void Put(std::string& block) override;
  void Finish() override;

 private:
  void Look(std::string_view block);
  void Release();

  LineEndStyle& style_;
  Stage& next_;
  const std::size_t holdLimit_;
  std::string held_;
  bool crAtEnd_ = false;     // the last byte looked at is a CR whose follower is unseen
  bool overflowed_ = false;  // holdLimit was reached: nothing is held any more
  bool sawText_ = false;
  bool lastIsBreak_ = false;
};

// Every line break of the text becomes the style's line end, and an unended last
// line gets one.
class LineEndStage : public Stage {
 public:
  LineEndStage(Stage& next, const LineEndStyle& lineEnd) : lineEnd_(lineEnd), next_(next) {}

  void Put(std::string& block) override;
  void Finish() override;

 private:
  const LineEndStyle& lineEnd_;
  Stage& next_;
  bool pendingCr_ = false;  // a CR ended the last block; the next byte decides
  bool sawText_ = false;
  bool lastIsBreak_ = false;
};

}  // namespace stream
