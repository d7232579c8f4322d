// An expression compiled for one of the two matching libraries, the searches
// over a subject, and the module's cache of compiled expressions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/code_page.h"
#include "regex/engine_choice.h"
#include "regex/literal_engine.h"

namespace regex_backtracking {
class BacktrackingEngine;
}
namespace regex_linear {
class LinearEngine;
}
namespace regex_lines {
class LineBreakView;
}

namespace regex_engine {

using regex_choice::EngineKind;

using regex_tree::kMatchTableEntries;
constexpr std::size_t kUnsetOffset = std::numeric_limits<std::size_t>::max();
// Start and end offset (0-based) of every entry; kUnsetOffset when unset.
using MatchOffsets = std::array<std::size_t, 2 * kMatchTableEntries>;

// How expressions are given to the libraries. Automatic is the program's; the
// others let tests run the same expressions on each library.
enum class EnginePolicy {
  Automatic,            // by the tree, the faster library where both run it right
  LinearWherePossible,  // linear whenever the tree allows it, never the word scan
  BacktrackingOnly,
};
// Clears the cache, so that the next use compiles under the new policy.
void SetEnginePolicy(EnginePolicy policy);
EnginePolicy CurrentEnginePolicy();

// What the module did since start-up (or the last reset), for benchmarks and
// tests: results never depend on which library ran.
struct EngineCounters {
  std::uint64_t linearCompiles = 0;
  std::uint64_t backtrackingCompiles = 0;
  std::uint64_t linearRefusals = 0;        // tree fit for it, library refused it
  std::uint64_t interpreterFallbacks = 0;  // backtracking without JIT
  std::uint64_t literalCompiles = 0;
  std::uint64_t linearSearches = 0;
  std::uint64_t backtrackingSearches = 0;
  std::uint64_t literalSearches = 0;
};
const EngineCounters& Counters();
void ResetCounters();

// A debugging aid, not part of the program's output: the environment variable
// QUORVE_DEBUG_REGEX, read once. "1" or a value holding "log": standard error
// gets one line per compiled expression (library, why, expression, pattern).
// A value holding "backtracking" or "linear" sets the policy (BacktrackingOnly,
// LinearWherePossible), so that a whole run, or a test suite, can be made to
// take one library's path; results are the same either way.
constexpr const char* kDebugVariable = "QUORVE_DEBUG_REGEX";

class SubjectSearch;

class CompiledExpression {
 public:
  // Raises ERegExpr for a faulty expression. `expression` is already cut at its
  // first NUL and is not empty.
  CompiledExpression(std::string_view expression, platform::CodePage codePage);
  ~CompiledExpression();
  CompiledExpression(const CompiledExpression&) = delete;
  CompiledExpression& operator=(const CompiledExpression&) = delete;

  EngineKind Engine() const;
  const char* EngineReason() const { return reason_.c_str(); }
  const std::string& Pattern() const { return pattern_; }
  int GroupCount() const { return groupCount_; }
  bool NeedsLineBreakView() const;

  // One search of subject from startOffset (0-based, at most subject.size()).
  // Fills the first `entries` entries of offsets. Raises ERegExpr when the
  // backtracking library gives up.
  bool Search(std::string_view subject, std::size_t startOffset, MatchOffsets& offsets,
              std::uint32_t entries = kMatchTableEntries) const;

 private:
  friend class SubjectSearch;
  bool SearchPrepared(const SubjectSearch& search, std::size_t startOffset, MatchOffsets& offsets,
                      std::uint32_t entries) const;

  std::string pattern_;
  std::string reason_;
  int groupCount_ = 0;
  std::unique_ptr<regex_literal::LiteralEngine> literal_;
  std::unique_ptr<regex_linear::LinearEngine> linear_;
  std::unique_ptr<regex_backtracking::BacktrackingEngine> backtracking_;
};

// Repeated searches of one expression over one subject (the replace loop, Exec
// and ExecNext): what the library needs made from the subject is made once.
// The subject must outlive the object.
class SubjectSearch {
 public:
  SubjectSearch(const CompiledExpression& compiled, std::string_view subject);
  ~SubjectSearch();
  SubjectSearch(SubjectSearch&&) noexcept;
  SubjectSearch& operator=(SubjectSearch&&) noexcept;

  bool Search(std::size_t startOffset, MatchOffsets& offsets,
              std::uint32_t entries = kMatchTableEntries) const;
  std::string_view Subject() const { return subject_; }

 private:
  friend class CompiledExpression;

  const CompiledExpression* compiled_;
  std::string_view subject_;
  std::unique_ptr<regex_lines::LineBreakView> view_;
  bool wordScan_ = false;
  mutable regex_literal::LiteralEngine::Scan scan_{};  // changes as searches go on
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
  using CodePageEntries = std::array<std::unique_ptr<Entry>, 4>;  // one per CodePage
  // Bounded so that a run with ever new expressions does not grow without end.
  static constexpr std::size_t kMaxEntries = 256;

  std::unordered_map<std::string, CodePageEntries, TextHash, std::equal_to<>> entries_;
};

ExpressionCache& TheExpressionCache();
// Lets go of the calling thread's cache (a later search makes a new one).
void ReleaseThreadCache();

// Cut at the first NUL byte.
std::string_view UpToFirstNul(std::string_view text);

}  // namespace regex_engine
