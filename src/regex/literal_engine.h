// Expressions that are a short list of plain words, searched with the tool's
// own vector scan (faststrings) instead of a matching library: two to four
// alternatives, each a run of exact bytes, alone or as the one capturing group
// of its alternative ("cat|dog|bird", "(cat|dog)|bird"). Leftmost
// first: the earliest start wins, and at one start the alternative written
// first, which is what backtracking finds for such a list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "faststrings/fast_strings.h"
#include "regex/tree.h"

namespace regex_literal {

// Beyond this many words one scan per word costs more than the libraries' own
// scans.
constexpr std::size_t kMaxWords = 4;
// Below this many bytes (a line, say) setting up a scan per word costs more than
// PCRE2's search, which then runs the expression (compiled_expression.h).
constexpr std::size_t kMinSubjectLength = 4096;

class LiteralEngine {
 public:
  // Null when the tree is not such a list.
  static std::unique_ptr<LiteralEngine> Create(const regex_tree::ParsedExpression& parsed);

  // Where each word occurs next in one subject, kept across the searches of a
  // replace loop so that no stretch is scanned twice for the same word.
  struct Scan {
    std::array<std::size_t, kMaxWords> from;  // searched from here (npos: not yet)...
    std::array<std::size_t, kMaxWords> next;  // ...and found here (npos: nowhere after)
  };
  static Scan NewScan();

  // Writes entries 0..entries-1 of offsets (SIZE_MAX when unset).
  bool Search(std::string_view subject, Scan& scan, std::size_t start, std::size_t* offsets,
              std::uint32_t entries) const;

 private:
  struct Word {
    std::string text;
    int group = 0;  // the capturing group around it, 0 for none
    SkipTable table{};
  };
  explicit LiteralEngine(std::vector<Word> words) : words_(std::move(words)) {}
  std::size_t NextOccurrence(std::string_view subject, Scan& scan, std::size_t word,
                             std::size_t start) const;

  std::vector<Word> words_;
};

}  // namespace regex_literal
