// An expression compiled for the matching library, and the module's cache of them.
#pragma once

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/code_page.h"
#include "regex/case_map.h"

namespace regex_engine {

// 15 entries: the whole match and capture groups 1 to 14.
constexpr std::uint32_t kMatchTableEntries = 15;

struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;
MatchData NewMatchData();

class CompiledExpression {
 public:
  // Raises ERegExpr for a faulty expression. `expression` is already cut at its
  // first NUL and is not empty.
  CompiledExpression(std::string_view expression, platform::CodePage codePage);
  ~CompiledExpression();
  CompiledExpression(const CompiledExpression&) = delete;
  CompiledExpression& operator=(const CompiledExpression&) = delete;

  // Searches subject from startOffset (0-based, at most subject.size()); the match
  // table is in matchData. Raises ERegExpr when the library gives up.
  bool Search(std::string_view subject, std::size_t startOffset, pcre2_match_data* matchData) const;

  const std::string& Pattern() const { return pattern_; }
  int GroupCount() const { return groupCount_; }

  // A match-data block for the one-shot operations, which are never nested.
  pcre2_match_data* ScratchMatchData() const { return scratch_.get(); }

 private:
  std::string pattern_;
  int groupCount_ = 0;
  std::array<std::uint8_t, regex_case::CaseMap::kMatcherTablesLength> tables_{};
  pcre2_code* code_ = nullptr;
  MatchData scratch_;
};

// Compiled expressions by expression text and code page, so that the one-shot
// operations called per line compile each distinct expression once per run. A
// faulty expression is remembered with its failure and fails at every use.
class ExpressionCache {
 public:
  // Raises 1003 for an empty expression, or the expression's compile failure.
  // The reference stays valid until the next call.
  const std::shared_ptr<const CompiledExpression>& Get(std::string_view expression,
                                                       platform::CodePage codePage);
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    std::shared_ptr<const CompiledExpression> compiled;
    std::int32_t failureCode = 0;
    std::int32_t failurePosition = 0;
  };
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  using CodePageEntries = std::array<std::unique_ptr<Entry>, 3>;  // one per CodePage
  // Bounded so that a run with ever new expressions does not grow without end.
  static constexpr std::size_t kMaxEntries = 256;

  std::unordered_map<std::string, CodePageEntries, TextHash, std::equal_to<>> entries_;
};

ExpressionCache& TheExpressionCache();

// Cut at the first NUL byte.
std::string_view UpToFirstNul(std::string_view text);

}  // namespace regex_engine
