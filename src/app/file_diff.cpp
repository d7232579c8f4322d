#include "app/file_diff.h"

#include <algorithm>
#include <cstdint>

#include <dtl/dtl.hpp>
#include <unordered_set>

#include "text/line_text.h"

namespace {

constexpr std::size_t kContext = 3;

constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kCyan = "\x1b[36m";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kReset = "\x1b[0m";

// Lines are compared by their text; an unended last line differs from an ended
// one, so that patch learns about the line end the run adds or takes away.
class SameLine : public dtl::Compare<const LineWithEnd*> {
 public:
  bool impl(const LineWithEnd* const& a, const LineWithEnd* const& b) const override {
    return a->text == b->text && a->end.empty() == b->end.empty();
  }
};

using LineDiff = dtl::Diff<const LineWithEnd*, std::vector<const LineWithEnd*>, SameLine>;

bool SameLines(const LineWithEnd& a, const LineWithEnd& b) {
  return a.text == b.text && a.end.empty() == b.end.empty();
}

// A stretch of old lines replaced by a stretch of new ones; the lines between
// two blocks are the same on both sides.
struct ChangeBlock {
  std::size_t oldStart = 0;
  std::size_t oldCount = 0;
  std::size_t newStart = 0;
  std::size_t newCount = 0;
};

// The library runs on windows of lines, not on whole files: after the lines both
// sides share, a window of W lines of each side is compared, and the changes up
// to the window's last shared line are taken; the rest is compared again in the
// next window. Any such sequence of edits turns the old lines into the new ones,
// so the diff is always exact, and the time stays proportional to the file and
// the changes (a file in which every line changes costs W per line, not the
// square of the file's lines). A window in which no line is shared grows while a
// larger one would share some (a long inserted stretch), up to kMaxWindow.
constexpr std::size_t kFirstWindow = 128;
constexpr std::size_t kMaxWindow = 8192;

class BlockFinder {
 public:
  BlockFinder(const std::vector<LineWithEnd>& oldLines, const std::vector<LineWithEnd>& newLines)
      : old_(oldLines), new_(newLines) {}

  std::vector<ChangeBlock> Blocks();

 private:
  void SkipSharedLines();
  bool AnyLineShared(std::size_t window) const;
  void CompareWindow();
  void Add(std::size_t oldCount, std::size_t newCount);

  const std::vector<LineWithEnd>& old_;
  const std::vector<LineWithEnd>& new_;
  std::size_t i_ = 0;  // the next old line
  std::size_t j_ = 0;  // the next new line
  std::vector<ChangeBlock> blocks_;
};

std::vector<ChangeBlock> BlockFinder::Blocks() {
  for (;;) {
    SkipSharedLines();
    if (i_ == old_.size() && j_ == new_.size()) return std::move(blocks_);
    if (i_ == old_.size() || j_ == new_.size()) {
      Add(old_.size() - i_, new_.size() - j_);
      continue;
    }
    CompareWindow();
  }
}

void BlockFinder::SkipSharedLines() {
  while (i_ < old_.size() && j_ < new_.size() && SameLines(old_[i_], new_[j_])) {
    ++i_;
    ++j_;
  }
}

bool BlockFinder::AnyLineShared(std::size_t window) const {
  std::unordered_set<std::string_view> texts;
  for (std::size_t k = j_; k < std::min(new_.size(), j_ + window); ++k) texts.insert(new_[k].text);
  for (std::size_t k = i_; k < std::min(old_.size(), i_ + window); ++k) {
    if (texts.count(old_[k].text) != 0) return true;
  }
  return false;
}

// The old line i_ and the new line j_ differ.
void BlockFinder::CompareWindow() {
  std::size_t window = kFirstWindow;
  while (!AnyLineShared(window)) {
    const bool grows =
        window < kMaxWindow && (i_ + window < old_.size() || j_ + window < new_.size());
    if (!grows || !AnyLineShared(window * 4)) {
      // Nothing in common within reach: the window is one change.
      Add(std::min(window, old_.size() - i_), std::min(window, new_.size() - j_));
      return;
    }
    window *= 4;
  }
  const auto oldEnd = static_cast<std::ptrdiff_t>(std::min(old_.size(), i_ + window));
  const auto newEnd = static_cast<std::ptrdiff_t>(std::min(new_.size(), j_ + window));
  std::vector<const LineWithEnd*> a;
  std::vector<const LineWithEnd*> b;
  for (auto k = static_cast<std::ptrdiff_t>(i_); k < oldEnd; ++k) a.push_back(&old_[k]);
  for (auto k = static_cast<std::ptrdiff_t>(j_); k < newEnd; ++k) b.push_back(&new_[k]);
  // The shortest edit script of the window (O(NP) algorithm).
  LineDiff diff(a, b, true, SameLine());
  diff.compose();
  const auto script = diff.getSes().getSequence();
  const bool wholeRest = static_cast<std::size_t>(oldEnd) == old_.size() &&
                         static_cast<std::size_t>(newEnd) == new_.size();
  // Taken: everything when the window reaches both ends, else up to the window's
  // last shared line (changes after it may go on beyond the window).
  std::size_t taken = script.size();
  if (!wholeRest) {
    while (taken > 0 && script[taken - 1].second.type != dtl::SES_COMMON) --taken;
  }
  std::size_t oldCount = 0;
  std::size_t newCount = 0;
  for (std::size_t k = 0; k < taken; ++k) {
    const dtl::edit_t type = script[k].second.type;
    if (type == dtl::SES_COMMON) {
      Add(oldCount, newCount);
      oldCount = newCount = 0;
      ++i_;
      ++j_;
    } else if (type == dtl::SES_DELETE) {
      ++oldCount;
    } else {
      ++newCount;
    }
  }
  Add(oldCount, newCount);
}

void BlockFinder::Add(std::size_t oldCount, std::size_t newCount) {
  if (oldCount == 0 && newCount == 0) return;
  blocks_.push_back({i_, oldCount, j_, newCount});
  i_ += oldCount;
  j_ += newCount;
}

class DiffWriter {
 public:
  DiffWriter(const DiffLook& look, std::string_view addedEnd) : look_(look), addedEnd_(addedEnd) {}

  void Note(std::string_view text) { Plain(text, {}); }
  void Headers(std::string_view name) {
    Plain("--- ", name, kBold);
    Plain("+++ ", name, kBold);
  }
  // One hunk: the blocks [first, last] with context from the old lines.
  void Hunk(const std::vector<LineWithEnd>& oldLines, const std::vector<LineWithEnd>& newLines,
            const ChangeBlock* first, const ChangeBlock* last);
  std::string Take() { return std::move(out_); }

 private:
  void Plain(std::string_view text, std::string_view more, std::string_view colour = {}) {
    Coloured(colour);
    out_.append(text).append(more);
    EndColour(colour);
    out_.append(look_.lineEnd);
  }
  void Coloured(std::string_view colour) {
    if (look_.colour && !colour.empty()) out_.append(colour);
  }
  void EndColour(std::string_view colour) {
    if (look_.colour && !colour.empty()) out_.append(kReset);
  }
  void Line(char mark, const LineWithEnd& line, std::string_view end, std::string_view colour);
  void Context(const std::vector<LineWithEnd>& oldLines, std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) Line(' ', oldLines[k], oldLines[k].end, {});
  }

  const DiffLook& look_;
  // The line end of added lines when the run changes the style of the line ends:
  // the input's, so that patch makes the content changes in the file's own style;
  // empty: each added line's own.
  const std::string_view addedEnd_;
  std::string out_;
};

void DiffWriter::Line(char mark, const LineWithEnd& line, std::string_view end,
                      std::string_view colour) {
  Coloured(colour);
  out_.push_back(mark);
  out_.append(line.text);
  EndColour(colour);
  if (!end.empty()) {
    out_.append(end);
    return;
  }
  out_.append(look_.lineEnd);
  out_.append("\\ No newline at end of file").append(look_.lineEnd);
}

std::string Range(std::size_t linesBefore, std::size_t count) {
  // An empty range names the line after which it lies.
  const std::size_t start = count == 0 ? linesBefore : linesBefore + 1;
  return std::to_string(start) + "," + std::to_string(count);
}

void DiffWriter::Hunk(const std::vector<LineWithEnd>& oldLines,
                      const std::vector<LineWithEnd>& newLines, const ChangeBlock* first,
                      const ChangeBlock* last) {
  const std::size_t before = std::min(first->oldStart, kContext);
  const std::size_t oldFrom = first->oldStart - before;
  const std::size_t newFrom = first->newStart - before;
  const std::size_t oldTo = std::min(oldLines.size(), last->oldStart + last->oldCount + kContext);
  // After the last block both sides go on alike.
  const std::size_t newTo =
      oldTo - (last->oldStart + last->oldCount) + last->newStart + last->newCount;
  Plain("@@ -" + Range(oldFrom, oldTo - oldFrom) + " +" + Range(newFrom, newTo - newFrom), " @@",
        kCyan);
  std::size_t at = oldFrom;
  for (const ChangeBlock* block = first; block <= last; ++block) {
    Context(oldLines, at, block->oldStart);
    for (std::size_t k = 0; k < block->oldCount; ++k) {
      const LineWithEnd& line = oldLines[block->oldStart + k];
      Line('-', line, line.end, kRed);
    }
    for (std::size_t k = 0; k < block->newCount; ++k) {
      const LineWithEnd& line = newLines[block->newStart + k];
      Line('+', line, line.end.empty() || addedEnd_.empty() ? line.end : addedEnd_, kGreen);
    }
    at = block->oldStart + block->oldCount;
  }
  Context(oldLines, at, oldTo);
}

// Hunks: each change with up to three lines of context on either side; changes
// closer than twice that share a hunk.
void WriteHunks(const std::vector<ChangeBlock>& blocks, const std::vector<LineWithEnd>& oldLines,
                const std::vector<LineWithEnd>& newLines, DiffWriter& writer) {
  std::size_t k = 0;
  while (k < blocks.size()) {
    std::size_t last = k;
    while (last + 1 < blocks.size() &&
           blocks[last + 1].oldStart - (blocks[last].oldStart + blocks[last].oldCount) <=
               2 * kContext) {
      ++last;
    }
    writer.Hunk(oldLines, newLines, &blocks[k], &blocks[last]);
    k = last + 1;
  }
}

// The line end added lines are written with, when the style changes.
std::string_view FirstLineEnd(const std::vector<LineWithEnd>& lines) {
  for (const LineWithEnd& line : lines) {
    if (!line.end.empty()) return line.end;
  }
  return {};
}

}  // namespace

std::vector<LineWithEnd> SplitIntoLines(std::string_view text) {
  std::vector<LineWithEnd> lines;
  lines.reserve(CountEither(text.data(), text.data() + text.size(), '\n', '\n') + 1);
  const char* from = text.data();
  const char* const last = from + text.size();
  while (from < last) {
    const char* const brk = FindAnyOf3(from, last, '\r', '\n', '\n');
    const auto length = static_cast<std::size_t>(brk - from);
    if (brk == last) {
      lines.push_back({{from, length}, {}});
      break;
    }
    const std::size_t endLength = *brk == '\r' && brk + 1 < last && brk[1] == '\n' ? 2 : 1;
    lines.push_back({{from, length}, {brk, endLength}});
    from = brk + endLength;
  }
  return lines;
}

std::string LineEndStyleOf(const std::vector<LineWithEnd>& lines) {
  std::string_view style;
  for (const LineWithEnd& line : lines) {
    if (line.end.empty()) continue;
    if (style.empty()) {
      style = line.end;
    } else if (style != line.end) {
      return "mixed";
    }
  }
  if (style.empty()) return "none";
  if (style == "\r\n") return "CR LF";
  return style == "\n" ? "LF" : "CR";
}

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const DiffLook& look) {
  if (before == after) return {};
  const std::vector<LineWithEnd> oldLines = SplitIntoLines(before);
  const std::vector<LineWithEnd> newLines = SplitIntoLines(after);
  const std::string oldStyle = LineEndStyleOf(oldLines);
  const std::string newStyle = LineEndStyleOf(newLines);
  const bool styleChanges = oldStyle != newStyle && oldStyle != "none" && newStyle != "none";
  DiffWriter writer(look, styleChanges ? FirstLineEnd(oldLines) : std::string_view());
  // Before the file's headers, where patch takes it for commentary.
  if (styleChanges)
    writer.Note("line ends: " + oldStyle + " -> " + newStyle + " in " + std::string(name));

  const std::vector<ChangeBlock> blocks = BlockFinder(oldLines, newLines).Blocks();
  if (!blocks.empty()) {
    writer.Headers(name);
    WriteHunks(blocks, oldLines, newLines, writer);
  }
  return writer.Take();
}
