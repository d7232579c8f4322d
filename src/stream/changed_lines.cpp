#include "stream/changed_lines.h"

#include <cstring>

#include "text/line_text.h"

namespace stream {

namespace {

constexpr std::size_t kInputPiece = std::size_t{1} << 20;

std::size_t LineBreakAt(std::string_view text, std::size_t from) {
  const char* const last = text.data() + text.size();
  const char* const brk = FindAnyOf3(text.data() + from, last, '\r', '\n', '\n');
  return brk == last ? std::string_view::npos : static_cast<std::size_t>(brk - text.data());
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
  std::string_view line;
  while (NextInputLine(line)) ++changed_;
  next_.Finish();
}

void ChangedLineCounter::CompareWith(std::string_view resultLine) {
  std::string_view inputLine;
  if (!NextInputLine(inputLine) || inputLine != resultLine) ++changed_;
}

// The next line of the input, a view of the buffer valid until the next call.
bool ChangedLineCounter::NextInputLine(std::string_view& line) {
  for (;;) {
    const char* const from = input_.data() + position_;
    const char* const last = input_.data() + input_.size();
    const char* const brk = FindAnyOf3(from, last, '\r', '\n', '\n');
    const bool crMayPair = brk != last && *brk == '\r' && brk + 1 == last && !inputDone_;
    if (brk != last && !crMayPair) {
      const std::size_t endLength = *brk == '\r' && brk + 1 < last && brk[1] == '\n' ? 2 : 1;
      line = {from, static_cast<std::size_t>(brk - from)};
      position_ = static_cast<std::size_t>(brk - input_.data()) + endLength;
      return true;
    }
    if (!inputDone_) {
      ReadInput();
      continue;
    }
    if (from == last) return false;
    line = {from, static_cast<std::size_t>(last - from)};
    position_ = input_.size();
    return true;
  }
}

void ChangedLineCounter::ReadInput() {
  input_.erase(0, position_);
  position_ = 0;
  const std::size_t kept = input_.size();
  input_.resize(kept + kInputPiece);
  const std::size_t got = readInput_(input_.data() + kept, kInputPiece);
  input_.resize(kept + got);
  const void* zero = inputEndsAtZero_ ? std::memchr(input_.data() + kept, 0, got) : nullptr;
  if (zero != nullptr) {
    input_.resize(static_cast<std::size_t>(static_cast<const char*>(zero) - input_.data()));
    // A byte 0 at the very start still leaves one empty line.
    if (!inputStarted_ && input_.empty()) input_ = "\n";
  }
  inputStarted_ = inputStarted_ || got != 0;
  if (got == 0 || zero != nullptr) inputDone_ = true;
}

}  // namespace stream
