#include "app/file_diff.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

#include <dtl/dtl.hpp>

#include "text/line_text.h"

namespace {

constexpr std::size_t kContext = 3;
// The old text is read in pieces of this size.
constexpr std::size_t kOldPiece = std::size_t{1} << 20;
// Bytes of lines no longer needed are given back once there are this many and
// they are more than half the buffer.
constexpr std::size_t kCompactAt = std::size_t{1} << 20;

constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kCyan = "\x1b[36m";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kReset = "\x1b[0m";

// One line: its bytes and the line end that follows them (CR LF, LF, a lone CR,
// or nothing for an unended last line). Views of a LineStore's buffer.
struct LineWithEnd {
  std::string_view text;
  std::string_view end;
};

// Lines are compared by their text; an unended last line differs from an ended
// one, so that patch learns about the line end the run adds or takes away.
bool SameLines(const LineWithEnd& a, const LineWithEnd& b) {
  return a.text == b.text && a.end.empty() == b.end.empty();
}

class SameLine : public dtl::Compare<const LineWithEnd*> {
 public:
  bool impl(const LineWithEnd* const& a, const LineWithEnd* const& b) const override {
    return SameLines(*a, *b);
  }
};

using LineDiff = dtl::Diff<const LineWithEnd*, std::vector<const LineWithEnd*>, SameLine>;

// The style of a text's line ends: "none", "LF", "CR LF", "CR" or "mixed".
class LineEndStyle {
 public:
  void Note(std::string_view end) {
    if (first_.empty()) {
      first_.assign(end);
    } else if (!mixed_ && first_ != end) {
      mixed_ = true;
    }
  }
  std::string Name() const {
    if (first_.empty()) return "none";
    if (mixed_) return "mixed";
    if (first_ == "\r\n") return "CR LF";
    return first_ == "\n" ? "LF" : "CR";
  }
  const std::string& First() const { return first_; }

 private:
  std::string first_;
  bool mixed_ = false;
};

// The lines of a text that arrives in pieces, from the first one still needed on;
// lines are numbered from 0 over the whole text.
class LineStore {
 public:
  void Append(std::string_view bytes) {
    bytes_.append(bytes);
    Parse();
  }
  // The text has ended: a CR at its end and an unended last line are lines now.
  void Close() {
    closed_ = true;
    Parse();
  }
  bool Closed() const { return closed_; }
  // One past the last complete line.
  std::size_t End() const { return base_ + records_.size(); }
  bool Has(std::size_t index) const { return index >= base_ && index < End(); }
  // Valid until the store changes.
  LineWithEnd At(std::size_t index) const {
    const Record& r = records_[index - base_];
    return {{bytes_.data() + r.offset, r.length},
            {bytes_.data() + r.offset + r.length, r.endLength}};
  }
  void DropBefore(std::size_t index);
  const LineEndStyle& Style() const { return style_; }

 private:
  struct Record {
    std::size_t offset;
    std::size_t length;
    std::uint8_t endLength;
  };
  void Parse();

  std::string bytes_;
  std::size_t parsed_ = 0;    // bytes before it belong to recorded lines
  std::size_t scanFrom_ = 0;  // bytes before it hold no line break not recorded
  std::deque<Record> records_;
  std::size_t base_ = 0;  // the number of the first record's line
  bool closed_ = false;
  LineEndStyle style_;
};

void LineStore::Parse() {
  while (parsed_ < bytes_.size()) {
    const char* const data = bytes_.data();
    const char* const last = data + bytes_.size();
    const char* const brk = FindAnyOf3(data + std::max(parsed_, scanFrom_), last, '\r', '\n', '\n');
    if (brk == last) {
      scanFrom_ = bytes_.size();
      if (closed_) {
        records_.push_back({parsed_, bytes_.size() - parsed_, 0});
        parsed_ = bytes_.size();
      }
      return;
    }
    // A CR at the end of what came so far may be the start of a CR LF.
    if (*brk == '\r' && brk + 1 == last && !closed_) {
      scanFrom_ = static_cast<std::size_t>(brk - data);
      return;
    }
    const std::size_t at = static_cast<std::size_t>(brk - data);
    const std::uint8_t endLength = *brk == '\r' && brk + 1 < last && brk[1] == '\n' ? 2 : 1;
    records_.push_back({parsed_, at - parsed_, endLength});
    style_.Note({brk, endLength});
    parsed_ = at + endLength;
    scanFrom_ = parsed_;
  }
}

void LineStore::DropBefore(std::size_t index) {
  while (base_ < index && !records_.empty()) {
    records_.pop_front();
    ++base_;
  }
  const std::size_t unneeded = records_.empty() ? parsed_ : records_.front().offset;
  if (unneeded < kCompactAt || unneeded < bytes_.size() / 2) return;
  bytes_.erase(0, unneeded);
  for (Record& r : records_) r.offset -= unneeded;
  parsed_ -= unneeded;
  scanFrom_ -= unneeded;
}

// A stretch of old lines replaced by a stretch of new ones; the lines between
// two blocks are the same on both sides.
struct ChangeBlock {
  std::size_t oldStart = 0;
  std::size_t oldCount = 0;
  std::size_t newStart = 0;
  std::size_t newCount = 0;

  std::size_t OldEnd() const { return oldStart + oldCount; }
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

// The diff's text as it is written: the diff's own lines, and rows of lines
// with their marks, colours and line ends. Where each added line's line end lies
// is kept, for the case that it is to be the input's (see Render).
class DiffText {
 public:
  explicit DiffText(const DiffLook& look) : look_(look) {}

  void Plain(std::string_view text, std::string_view colour = {}) {
    Coloured(colour);
    out_.append(text);
    EndColour(colour);
    out_.append(look_.lineEnd);
  }
  void Row(char mark, const LineWithEnd& line) {
    const std::string_view colour = mark == '-' ? kRed : mark == '+' ? kGreen : "";
    Coloured(colour);
    out_.push_back(mark);
    out_.append(line.text);
    EndColour(colour);
    if (!line.end.empty()) {
      if (mark == '+') addedEnds_.push_back({out_.size(), line.end.size()});
      out_.append(line.end);
      return;
    }
    out_.append(look_.lineEnd);
    out_.append("\\ No newline at end of file").append(look_.lineEnd);
  }
  bool Empty() const { return out_.empty(); }
  const std::string& Text() const { return out_; }
  // The text with every added line's end replaced by end.
  std::string WithAddedEnds(std::string_view end) const {
    std::string text;
    text.reserve(out_.size());
    std::size_t copied = 0;
    for (const auto& [at, length] : addedEnds_) {
      text.append(out_, copied, at - copied).append(end);
      copied = at + length;
    }
    return text.append(out_, copied);
  }

 private:
  void Coloured(std::string_view colour) {
    if (look_.colour && !colour.empty()) out_.append(colour);
  }
  void EndColour(std::string_view colour) {
    if (look_.colour && !colour.empty()) out_.append(kReset);
  }

  const DiffLook& look_;
  std::string out_;
  std::vector<std::pair<std::size_t, std::size_t>> addedEnds_;  // offset, length
};

std::string Range(std::size_t linesBefore, std::size_t count) {
  // An empty range names the line after which it lies.
  const std::size_t start = count == 0 ? linesBefore : linesBefore + 1;
  return std::to_string(start) + "," + std::to_string(count);
}

}  // namespace

struct FileDiff::State {
  State(std::string name, OldReader readOld, DiffLook look)
      : name(std::move(name)),
        readOld(std::move(readOld)),
        look(std::move(look)),
        hunks(this->look) {}

  // Goes as far as the new lines that came allow (all of them once it is closed).
  void Step();
  // The blocks gathered so far become a hunk.
  void FlushHunk();
  std::string Render() const;

  const std::string name;
  const OldReader readOld;
  const DiffLook look;
  LineStore oldLines;
  LineStore newLines;
  std::size_t i = 0;                 // the next old line to compare
  std::size_t j = 0;                 // the next new line to compare
  std::vector<ChangeBlock> pending;  // blocks of the hunk being gathered
  DiffText hunks;                    // the hunks written so far
  std::string scratch;

 private:
  bool OldHasThrough(std::size_t end);
  bool NewReadyThrough(std::size_t end) const { return newLines.End() >= end || newLines.Closed(); }
  // The lines a window of that size needs are there (the old ones read).
  bool Ready(std::size_t window) {
    OldHasThrough(i + window);
    return NewReadyThrough(j + window);
  }
  bool AnyLineShared(std::size_t window) const;
  bool CompareWindow();
  void Add(std::size_t oldCount, std::size_t newCount);
  void TakeBlock(const ChangeBlock& block);
  void DropUnneeded();
};

// Reads old bytes until line end - 1 is there or the text has ended; true when
// the old text has that many lines.
bool FileDiff::State::OldHasThrough(std::size_t end) {
  while (oldLines.End() < end && !oldLines.Closed()) {
    scratch.resize(kOldPiece);
    const std::size_t got = readOld(scratch.data(), scratch.size());
    if (got == 0) {
      oldLines.Close();
    } else {
      oldLines.Append({scratch.data(), got});
    }
  }
  return oldLines.End() >= end;
}

void FileDiff::State::Step() {
  for (;;) {
    while (OldHasThrough(i + 1)) {
      if (!newLines.Has(j)) {
        if (!newLines.Closed()) return DropUnneeded();
        break;
      }
      if (!SameLines(oldLines.At(i), newLines.At(j))) break;
      ++i;
      ++j;
    }
    const bool oldEnded = !oldLines.Has(i);
    const bool newEnded = newLines.Closed() && !newLines.Has(j);
    if (oldEnded && newEnded) return DropUnneeded();
    if (newEnded) {
      OldHasThrough(static_cast<std::size_t>(-1));
      Add(oldLines.End() - i, 0);
    } else if (oldEnded) {
      if (!newLines.Closed()) return DropUnneeded();
      Add(0, newLines.End() - j);
    } else if (!CompareWindow()) {
      return DropUnneeded();
    }
  }
}

bool FileDiff::State::AnyLineShared(std::size_t window) const {
  std::unordered_set<std::string_view> texts;
  for (std::size_t k = j; k < std::min(newLines.End(), j + window); ++k) {
    texts.insert(newLines.At(k).text);
  }
  for (std::size_t k = i; k < std::min(oldLines.End(), i + window); ++k) {
    if (texts.count(oldLines.At(k).text) != 0) return true;
  }
  return false;
}

// The old line i and the new line j differ. False when more new lines are needed.
bool FileDiff::State::CompareWindow() {
  std::size_t window = kFirstWindow;
  bool shared = false;
  for (;;) {
    if (!Ready(window)) return false;
    shared = AnyLineShared(window);
    if (shared) break;
    const bool moreInReach = i + window < oldLines.End() || !oldLines.Closed() ||
                             j + window < newLines.End() || !newLines.Closed();
    if (window >= kMaxWindow || !moreInReach) break;
    if (!Ready(window * 4)) return false;
    if (!AnyLineShared(window * 4)) break;
    window *= 4;
  }
  const std::size_t oldCount = std::min(oldLines.End(), i + window) - i;
  const std::size_t newCount = std::min(newLines.End(), j + window) - j;
  // Nothing in common within reach: the window is one change.
  if (!shared) {
    Add(oldCount, newCount);
    return true;
  }
  std::vector<LineWithEnd> a;
  std::vector<LineWithEnd> b;
  for (std::size_t k = i; k < i + oldCount; ++k) a.push_back(oldLines.At(k));
  for (std::size_t k = j; k < j + newCount; ++k) b.push_back(newLines.At(k));
  const bool wholeRest = oldLines.Closed() && i + a.size() == oldLines.End() && newLines.Closed() &&
                         j + b.size() == newLines.End();
  std::vector<const LineWithEnd*> pa;
  std::vector<const LineWithEnd*> pb;
  for (const LineWithEnd& line : a) pa.push_back(&line);
  for (const LineWithEnd& line : b) pb.push_back(&line);
  // The shortest edit script of the window (O(NP) algorithm), deletions before
  // insertions in each change.
  LineDiff diff(pa, pb, true, SameLine());
  diff.compose();
  const auto script = diff.getSes().getSequence();
  // Taken: everything when the window reaches both ends, else up to the window's
  // last shared line (changes after it may go on beyond the window). Nothing
  // shared: the whole window is one change.
  std::size_t taken = script.size();
  if (!wholeRest) {
    while (taken > 0 && script[taken - 1].second.type != dtl::SES_COMMON) --taken;
    if (taken == 0) {
      Add(a.size(), b.size());
      return true;
    }
  }
  std::size_t removed = 0;
  std::size_t added = 0;
  for (std::size_t k = 0; k < taken; ++k) {
    const dtl::edit_t type = script[k].second.type;
    if (type == dtl::SES_COMMON) {
      Add(removed, added);
      removed = added = 0;
      ++i;
      ++j;
    } else if (type == dtl::SES_DELETE) {
      ++removed;
    } else {
      ++added;
    }
  }
  Add(removed, added);
  return true;
}

void FileDiff::State::Add(std::size_t oldCount, std::size_t newCount) {
  if (oldCount == 0 && newCount == 0) return;
  TakeBlock({i, oldCount, j, newCount});
  i += oldCount;
  j += newCount;
}

// Changes closer than twice the context share a hunk.
void FileDiff::State::TakeBlock(const ChangeBlock& block) {
  if (!pending.empty() && block.oldStart - pending.back().OldEnd() > 2 * kContext) FlushHunk();
  pending.push_back(block);
}

void FileDiff::State::FlushHunk() {
  if (pending.empty()) return;
  const ChangeBlock& first = pending.front();
  const ChangeBlock& last = pending.back();
  OldHasThrough(last.OldEnd() + kContext);
  const std::size_t before = std::min(first.oldStart, kContext);
  const std::size_t oldFrom = first.oldStart - before;
  const std::size_t newFrom = first.newStart - before;
  const std::size_t oldTo = std::min(oldLines.End(), last.OldEnd() + kContext);
  // After the last block both sides go on alike.
  const std::size_t newTo = oldTo - last.OldEnd() + last.newStart + last.newCount;
  hunks.Plain(
      "@@ -" + Range(oldFrom, oldTo - oldFrom) + " +" + Range(newFrom, newTo - newFrom) + " @@",
      kCyan);
  std::size_t at = oldFrom;
  for (const ChangeBlock& block : pending) {
    for (; at < block.oldStart; ++at) hunks.Row(' ', oldLines.At(at));
    for (std::size_t k = 0; k < block.oldCount; ++k)
      hunks.Row('-', oldLines.At(block.oldStart + k));
    for (std::size_t k = 0; k < block.newCount; ++k)
      hunks.Row('+', newLines.At(block.newStart + k));
    at = block.OldEnd();
  }
  for (; at < oldTo; ++at) hunks.Row(' ', oldLines.At(at));
  pending.clear();
}

// Kept: the context before the next change, and the lines of the hunk being
// gathered.
void FileDiff::State::DropUnneeded() {
  const std::size_t oldKeep = pending.empty() ? i : pending.front().oldStart;
  oldLines.DropBefore(oldKeep > kContext ? oldKeep - kContext : 0);
  newLines.DropBefore(pending.empty() ? j : pending.front().newStart);
}

std::string FileDiff::State::Render() const {
  DiffText text(look);
  const std::string oldStyle = oldLines.Style().Name();
  const std::string newStyle = newLines.Style().Name();
  const bool styleChanges = oldStyle != newStyle && oldStyle != "none" && newStyle != "none";
  // Before the file's headers, where patch takes it for commentary.
  if (styleChanges) text.Plain("line ends: " + oldStyle + " -> " + newStyle + " in " + name);
  if (hunks.Empty()) return text.Text();
  text.Plain("--- " + name, kBold);
  text.Plain("+++ " + name, kBold);
  // Where the style changes, added lines keep the file's own, so that patch makes
  // the content changes in the file's style.
  if (styleChanges) return text.Text() + hunks.WithAddedEnds(oldLines.Style().First());
  return text.Text() + hunks.Text();
}

FileDiff::FileDiff(std::string name, OldReader readOld, DiffLook look)
    : state_(std::make_unique<State>(std::move(name), std::move(readOld), std::move(look))) {}

FileDiff::~FileDiff() = default;

void FileDiff::Add(std::string_view bytes) {
  state_->newLines.Append(bytes);
  state_->Step();
}

std::string FileDiff::Finish() {
  state_->newLines.Close();
  state_->Step();
  state_->FlushHunk();
  return state_->Render();
}

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const DiffLook& look) {
  if (before == after) return {};
  std::size_t read = 0;
  FileDiff diff(
      std::string(name),
      [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, before.size() - read);
        std::copy_n(before.data() + read, n, buffer);
        read += n;
        return n;
      },
      look);
  diff.Add(after);
  return diff.Finish();
}
