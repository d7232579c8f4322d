#include "regex/linear_engine.h"

#include <re2/re2.h>

#include <algorithm>
#include <limits>

#include "regex/tree.h"

namespace regex_linear {

namespace {

using regex_tree::kMatchTableEntries;
constexpr std::size_t kUnset = std::numeric_limits<std::size_t>::max();

RE2::Options LibraryOptions() {
  RE2::Options options;
  options.set_encoding(RE2::Options::EncodingLatin1);
  options.set_longest_match(false);  // leftmost-first, as backtracking chooses
  options.set_log_errors(false);
  options.set_max_mem(kMemoryBudget);
  options.set_case_sensitive(true);  // caseless stretches are written as such
  return options;
}

}  // namespace

std::unique_ptr<LinearEngine> LinearEngine::Create(const std::string& pattern, bool lineBreakView,
                                                   std::string& refusal) {
  auto re = std::make_unique<RE2>(pattern, LibraryOptions());
  if (!re->ok()) {
    refusal = re->error();
    return nullptr;
  }
  return std::unique_ptr<LinearEngine>(new LinearEngine(std::move(re), lineBreakView));
}

LinearEngine::LinearEngine(std::unique_ptr<RE2> re, bool lineBreakView)
    : re_(std::move(re)), lineBreakView_(lineBreakView) {}

LinearEngine::~LinearEngine() = default;

bool LinearEngine::Search(std::string_view subject, const regex_lines::LineBreakView* view,
                          std::size_t start, std::size_t* offsets, std::uint32_t entries) const {
  if (view != nullptr) return SearchView(*view, start, offsets, entries);
  return SearchText(subject, start, offsets, entries);
}

bool LinearEngine::SearchText(std::string_view text, std::size_t start, std::size_t* offsets,
                              std::uint32_t entries) const {
  // An empty view may have no data; the library tells unset groups by null data.
  static const char kEmpty[] = "";
  if (text.data() == nullptr) text = std::string_view(kEmpty, 0);
  entries = std::min(entries, kMatchTableEntries);
  re2::StringPiece found[kMatchTableEntries];
  const re2::StringPiece whole(text.data(), text.size());
  if (!re_->Match(whole, start, text.size(), RE2::UNANCHORED, found, static_cast<int>(entries))) {
    return false;
  }
  for (std::uint32_t n = 0; n < entries; ++n) {
    const bool set = found[n].data() != nullptr;
    offsets[2 * n] = set ? static_cast<std::size_t>(found[n].data() - text.data()) : kUnset;
    offsets[2 * n + 1] = set ? offsets[2 * n] + found[n].size() : kUnset;
  }
  return true;
}

// A match that begins inside a token is not the language's (line_break_view.h);
// the search then goes on from the token's end.
bool LinearEngine::SearchView(const regex_lines::LineBreakView& view, std::size_t start,
                              std::size_t* offsets, std::uint32_t entries) const {
  const std::string_view text = view.Text();
  const std::uint32_t wanted = std::max<std::uint32_t>(entries, 1);
  std::size_t from = view.ToView(start);
  for (;;) {
    if (!SearchText(text, from, offsets, wanted)) return false;
    const std::size_t edge = view.NextEdge(offsets[0]);
    if (edge == offsets[0]) break;
    from = edge;
  }
  for (std::uint32_t n = 0; n < 2 * entries; ++n) {
    if (offsets[n] != kUnset) offsets[n] = view.ToSubject(offsets[n]);
  }
  return true;
}

}  // namespace regex_linear
