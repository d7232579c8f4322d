#include "stream/changed_lines.h"

#include <cstring>

namespace stream {

namespace {

constexpr std::size_t kInputPiece = std::size_t{1} << 20;

std::size_t LineBreakAt(std::string_view text, std::size_t from) {
  return text.find_first_of("\r\n", from);
}

}  // namespace

void LineSplitter::Add(std::string_view piece, const LineHandler& onLine) {
  std::size_t from = 0;
  if (crPending_ && !piece.empty()) {
    crPending_ = false;
    if (piece.front() == '\n') from = 1;
  }
  while (from < piece.size()) {
    const std::size_t brk = LineBreakAt(piece, from);
    if (brk == std::string_view::npos) {
      partial_.append(piece.substr(from));
      lineOpen_ = true;
      return;
    }
    if (partial_.empty()) {
      onLine(piece.substr(from, brk - from));
    } else {
      partial_.append(piece.substr(from, brk - from));
      onLine(partial_);
      partial_.clear();
    }
    lineOpen_ = false;
    from = brk + 1;
    if (piece[brk] != '\r') continue;
    if (from == piece.size()) {
      crPending_ = true;
    } else if (piece[from] == '\n') {
      ++from;
    }
  }
}

void LineSplitter::End(const LineHandler& onLine) {
  if (lineOpen_) onLine(partial_);
  partial_.clear();
  lineOpen_ = false;
  crPending_ = false;
}

ChangedLineCounter::ChangedLineCounter(Stage& next, InputReader readInput, bool inputEndsAtZero)
    : next_(next), readInput_(std::move(readInput)), inputEndsAtZero_(inputEndsAtZero) {}

void ChangedLineCounter::Put(std::string& block) {
  // Before the next stage, which may change the block.
  resultLines_.Add(block, [this](std::string_view line) { CompareWith(line); });
  next_.Put(block);
}

void ChangedLineCounter::Finish() {
  resultLines_.End([this](std::string_view line) { CompareWith(line); });
  // Input lines the result no longer has.
  while (NextInputLine(inputLine_)) ++changed_;
  next_.Finish();
}

void ChangedLineCounter::CompareWith(std::string_view resultLine) {
  if (!NextInputLine(inputLine_) || inputLine_ != resultLine) ++changed_;
}

bool ChangedLineCounter::NextInputLine(std::string& line) {
  while (pending_.empty() && !inputDone_) ReadInput();
  if (pending_.empty()) return false;
  line.swap(pending_.front());
  pending_.pop_front();
  return true;
}

void ChangedLineCounter::ReadInput() {
  const auto keep = [this](std::string_view line) { pending_.emplace_back(line); };
  inputBlock_.resize(kInputPiece);
  const std::size_t got = readInput_(inputBlock_.data(), inputBlock_.size());
  inputBlock_.resize(got);
  const void* zero =
      inputEndsAtZero_ ? std::memchr(inputBlock_.data(), 0, inputBlock_.size()) : nullptr;
  if (zero != nullptr) {
    inputBlock_.resize(
        static_cast<std::size_t>(static_cast<const char*>(zero) - inputBlock_.data()));
    // A byte 0 at the very start still leaves one empty line.
    if (!inputStarted_ && inputBlock_.empty()) inputBlock_ = "\n";
  }
  inputStarted_ = inputStarted_ || !inputBlock_.empty();
  inputLines_.Add(inputBlock_, keep);
  if (got == 0 || zero != nullptr) {
    inputLines_.End(keep);
    inputDone_ = true;
  }
}

}  // namespace stream
