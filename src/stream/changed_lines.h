// Counting the lines a run changed, while its result passes: each line of the
// result is compared with the input's line at the same place (line ends left
// out), and a line that only one of them has counts as changed too. The input
// is read a second time, alongside, so nothing is held but a block of lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "stream/stage.h"

namespace stream {

// Cuts text that arrives in pieces into lines: CR LF, a lone CR and a lone LF
// each end a line (also across a piece's end); an unended last line is a line.
class LineSplitter {
 public:
  using LineHandler = std::function<void(std::string_view line)>;

  void Add(std::string_view piece, const LineHandler& onLine);
  void End(const LineHandler& onLine);

 private:
  std::string partial_;     // the start of a line whose end has not come yet
  bool crPending_ = false;  // the last piece ended with a CR: an LF next is its end
  bool lineOpen_ = false;   // bytes of an unended line were seen
};

class ChangedLineCounter : public Stage {
 public:
  // Reads up to size bytes of the input into buffer; 0 at its end.
  using InputReader = std::function<std::size_t(char* buffer, std::size_t size)>;

  // With inputEndsAtZero the input's first byte 0 ends its text, as it ends the
  // text the run processes.
  ChangedLineCounter(Stage& next, InputReader readInput, bool inputEndsAtZero);

  void Put(std::string& block) override;
  void Finish() override;

  std::uint64_t Changed() const { return changed_; }

 private:
  void CompareWith(std::string_view resultLine);
  bool NextInputLine(std::string_view& line);
  void ReadInput();

  Stage& next_;
  InputReader readInput_;
  const bool inputEndsAtZero_;
  LineSplitter resultLines_;
  std::string input_;  // input bytes read and not yet compared, from position_ on
  std::size_t position_ = 0;
  bool inputDone_ = false;
  bool inputStarted_ = false;
  std::uint64_t changed_ = 0;
};

}  // namespace stream
