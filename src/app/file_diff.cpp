#include "app/file_diff.h"

#include <algorithm>
#include <cstdint>

#include <dtl/dtl.hpp>

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
using EditScript = std::vector<std::pair<const LineWithEnd*, dtl::elemInfo>>;

std::vector<const LineWithEnd*> PointersTo(const std::vector<LineWithEnd>& lines) {
  std::vector<const LineWithEnd*> pointers;
  pointers.reserve(lines.size());
  for (const LineWithEnd& line : lines) pointers.push_back(&line);
  return pointers;
}

bool IsCommon(const EditScript::value_type& entry) {
  return entry.second.type == dtl::SES_COMMON;
}

class DiffWriter {
 public:
  DiffWriter(const DiffLook& look, std::string_view addedEnd) : look_(look), addedEnd_(addedEnd) {}

  void Note(std::string_view text) { Plain(text, {}); }
  void Headers(std::string_view name) {
    Plain("--- ", name, kBold);
    Plain("+++ ", name, kBold);
  }
  void Hunk(const EditScript& script, std::size_t from, std::size_t to, std::size_t oldBefore,
            std::size_t newBefore);
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

void DiffWriter::Hunk(const EditScript& script, std::size_t from, std::size_t to,
                      std::size_t oldBefore, std::size_t newBefore) {
  std::size_t oldCount = 0;
  std::size_t newCount = 0;
  for (std::size_t i = from; i < to; ++i) {
    if (script[i].second.type != dtl::SES_ADD) ++oldCount;
    if (script[i].second.type != dtl::SES_DELETE) ++newCount;
  }
  Plain("@@ -" + Range(oldBefore, oldCount) + " +" + Range(newBefore, newCount), " @@", kCyan);
  for (std::size_t i = from; i < to; ++i) {
    const LineWithEnd& line = *script[i].first;
    switch (script[i].second.type) {
      case dtl::SES_COMMON:
        Line(' ', line, line.end, {});
        break;
      case dtl::SES_DELETE:
        Line('-', line, line.end, kRed);
        break;
      default:
        Line('+', line, line.end.empty() || addedEnd_.empty() ? line.end : addedEnd_, kGreen);
        break;
    }
  }
}

// Hunks: each change with up to three lines of context on either side; changes
// closer than twice that share a hunk.
void WriteHunks(const EditScript& script, DiffWriter& writer) {
  std::size_t oldLines = 0;  // lines of each side before position i
  std::size_t newLines = 0;
  std::size_t i = 0;
  const auto advance = [&](std::size_t to) {
    for (; i < to; ++i) {
      if (script[i].second.type != dtl::SES_ADD) ++oldLines;
      if (script[i].second.type != dtl::SES_DELETE) ++newLines;
    }
  };
  while (i < script.size()) {
    const auto change =
        std::find_if_not(script.begin() + static_cast<std::ptrdiff_t>(i), script.end(), IsCommon);
    if (change == script.end()) return;
    const auto first = static_cast<std::size_t>(change - script.begin());
    advance(first - std::min(first - i, kContext));
    std::size_t last = first;  // the last change of the hunk
    for (std::size_t j = first + 1; j < script.size() && j <= last + 2 * kContext + 1; ++j) {
      if (!IsCommon(script[j])) last = j;
    }
    const std::size_t end = std::min(script.size(), last + 1 + kContext);
    writer.Hunk(script, i, end, oldLines, newLines);
    advance(end);
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
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t brk = text.find_first_of("\r\n", from);
    if (brk == std::string_view::npos) {
      lines.push_back({text.substr(from), {}});
      break;
    }
    const std::size_t endLength = text.compare(brk, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({text.substr(from, brk - from), text.substr(brk, endLength)});
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

  // The shortest edit script of the two line lists (O(NP) algorithm), deletions
  // before insertions in each change.
  LineDiff diff(PointersTo(oldLines), PointersTo(newLines), true, SameLine());
  diff.compose();
  const EditScript script = diff.getSes().getSequence();
  if (std::any_of(script.begin(), script.end(), [](const auto& e) { return !IsCommon(e); })) {
    writer.Headers(name);
    WriteHunks(script, writer);
  }
  return writer.Take();
}
