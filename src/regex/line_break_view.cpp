#include "regex/line_break_view.h"

#include <algorithm>
#include <cstring>

namespace regex_lines {

namespace {

bool IsBreak(char c) {
  return c == '\r' || c == '\n';
}

// The language's line anchors at offset p of subject.
bool LineEndsAt(std::string_view subject, std::size_t p) {
  if (p == subject.size() || subject[p] == '\r') return true;
  return subject[p] == '\n' && (p == 0 || subject[p - 1] != '\r');
}

bool LineStartsAt(std::string_view subject, std::size_t p) {
  if (p == 0 || subject[p - 1] == '\n') return true;
  return subject[p - 1] == '\r' && (p == subject.size() || subject[p] != '\n');
}

}  // namespace

LineBreakView::LineBreakView(std::string_view subject) : subject_(subject) {
  const std::size_t count = static_cast<std::size_t>(
      std::count_if(subject.begin(), subject.end(), [](char c) { return IsBreak(c); }));
  if (count == 0) return;
  identity_ = false;
  breaks_.reserve(count);
  text_.resize(subject.size() + count * (kTokenLength - 1));
  char* out = text_.data();
  std::size_t copied = 0;
  for (std::size_t p = 0; p < subject.size(); ++p) {
    if (!IsBreak(subject[p])) continue;
    std::memcpy(out, subject.data() + copied, p - copied);
    out += p - copied;
    *out++ = LineEndsAt(subject, p) ? kLineMark : kNoMark;
    *out++ = kTokenSecond;
    *out++ = subject[p] == '\r' ? kCrThird : kLfThird;
    *out++ = LineStartsAt(subject, p + 1) ? kLineMark : kNoMark;
    breaks_.push_back(p);
    copied = p + 1;
  }
  std::memcpy(out, subject.data() + copied, subject.size() - copied);
}

std::size_t LineBreakView::ToView(std::size_t subjectOffset) const {
  const auto before = std::lower_bound(breaks_.begin(), breaks_.end(), subjectOffset);
  return subjectOffset + static_cast<std::size_t>(before - breaks_.begin()) * (kTokenLength - 1);
}

std::size_t LineBreakView::BreaksEndingBy(std::size_t viewOffset) const {
  // Break i's token spans [breaks_[i] + 3i, breaks_[i] + 3i + 4) in the view.
  std::size_t low = 0, high = breaks_.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (breaks_[mid] + mid * (kTokenLength - 1) + kTokenLength <= viewOffset) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

std::size_t LineBreakView::ToSubject(std::size_t viewOffset) const {
  return viewOffset - BreaksEndingBy(viewOffset) * (kTokenLength - 1);
}

std::size_t LineBreakView::NextEdge(std::size_t viewOffset) const {
  const std::size_t i = BreaksEndingBy(viewOffset);
  if (i == breaks_.size()) return viewOffset;
  const std::size_t tokenStart = breaks_[i] + i * (kTokenLength - 1);
  return viewOffset <= tokenStart ? viewOffset : tokenStart + kTokenLength;
}

}  // namespace regex_lines
