// The end of the chain: the text's lines between a header and a footer, written
// to a sink in large pieces.
#pragma once

#include <string>
#include <string_view>

#include "stream/line_ends.h"
#include "stream/stage.h"

namespace stream {

// Gathers small pieces into large writes; large pieces go out straight from
// where they are.
class PieceWriter {
 public:
  explicit PieceWriter(ByteSink sink) : sink_(std::move(sink)) {}
  void Put(std::string_view bytes);
  void Flush();

 private:
  static constexpr std::size_t kDirectPiece = 64 * 1024;
  static constexpr std::size_t kStagingSize = 1024 * 1024;
  ByteSink sink_;
  std::string staging_;
};

struct OutputFrame {
  std::string header;   // the first line, unless empty (written unchanged)
  std::string footer;   // the last line, unless empty
  std::string trailer;  // bytes after everything (standard output: one more CR LF)
  // With --keep-eol: the output's last line ends with a line end only when the
  // input's did.
  bool lastLineEndAsInput = false;
};

// Takes the text with its lines already ended; header and footer are each
// followed by the style's line end.
class OutputStage : public Stage {
 public:
  OutputStage(ByteSink sink, const LineEndStyle& lineEnd, OutputFrame frame)
      : out_(std::move(sink)), lineEnd_(lineEnd), frame_(std::move(frame)) {}

  void Put(std::string& block) override;
  void Finish() override;

 private:
  void Begin();
  void Emit(std::string_view bytes);

  PieceWriter out_;
  const LineEndStyle& lineEnd_;
  const OutputFrame frame_;
  bool begun_ = false;
  // With lastLineEndAsInput: the last bytes written so far, which may be the line
  // end to leave out.
  std::string tail_;
};

}  // namespace stream
