// An expression compiled for RE2, the linear-time library: Latin-1 (byte) mode,
// leftmost-first matching, no backreferences. A search takes time linear in the
// subject whatever the expression; the library's memory is bounded per compiled
// expression, whatever the subject's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "regex/line_break_view.h"

namespace re2 {
class RE2;
}

namespace regex_linear {

// The library's budget for one compiled expression: its program and the cached
// states of its automata. When the automaton fills its share, the library
// flushes it and, if that happens too often, goes on with its slower linear
// matcher (never an error). An expression whose program does not fit is refused
// and runs on the backtracking library.
constexpr std::int64_t kMemoryBudget = 64 << 20;

class LinearEngine {
 public:
  // Null when the library refuses the pattern; refusal then says why.
  // lineBreakView: the pattern was lowered for the line-break view of the subject.
  static std::unique_ptr<LinearEngine> Create(const std::string& pattern, bool lineBreakView,
                                              std::string& refusal);
  ~LinearEngine();
  LinearEngine(const LinearEngine&) = delete;
  LinearEngine& operator=(const LinearEngine&) = delete;

  bool NeedsLineBreakView() const { return lineBreakView_; }

  // Searches subject from start; writes entries 0..entries-1 (start and end
  // offsets, SIZE_MAX when unset) into offsets. view is the subject's
  // line-break view when NeedsLineBreakView(), else null.
  bool Search(std::string_view subject, const regex_lines::LineBreakView* view, std::size_t start,
              std::size_t* offsets, std::uint32_t entries) const;

 private:
  LinearEngine(std::unique_ptr<re2::RE2> re, bool lineBreakView);
  bool SearchText(std::string_view text, std::size_t start, std::size_t* offsets,
                  std::uint32_t entries) const;
  bool SearchView(const regex_lines::LineBreakView& view, std::size_t start, std::size_t* offsets,
                  std::uint32_t entries) const;

  std::unique_ptr<re2::RE2> re_;
  bool lineBreakView_ = false;
};

}  // namespace regex_linear
