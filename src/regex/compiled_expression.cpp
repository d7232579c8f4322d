#include "regex/compiled_expression.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "regex/backtracking_engine.h"
#include "regex/line_break_view.h"
#include "regex/linear_engine.h"
#include "regex/literal_engine.h"
#include "regex/lowering.h"
#include "regex/parser.h"
#include "regex/regex_errors.h"

namespace regex_engine {

namespace {

// What the debug variable asks for, read once.
struct DebugSettings {
  bool log = false;
  EnginePolicy policy = EnginePolicy::Automatic;
};

DebugSettings ReadDebugSettings() {
  DebugSettings settings;
  const char* value = std::getenv(kDebugVariable);
  if (value == nullptr) return settings;
  const std::string_view words(value);
  settings.log = words == "1" || words.find("log") != std::string_view::npos;
  if (words.find("backtracking") != std::string_view::npos) {
    settings.policy = EnginePolicy::BacktrackingOnly;
  } else if (words.find("linear") != std::string_view::npos) {
    settings.policy = EnginePolicy::LinearWherePossible;
  }
  return settings;
}

const DebugSettings& Debug() {
  static const DebugSettings settings = ReadDebugSettings();
  return settings;
}

// The module's state (see regexpr.h): the policy for the process, the counters per thread.
EnginePolicy& Policy() {
  static EnginePolicy policy = Debug().policy;
  return policy;
}
// Per thread, like the cache whose work they count.
thread_local EngineCounters TheCounters;

bool DebugLogWanted() {
  return Debug().log;
}

void LogCompiled(std::string_view expression, const CompiledExpression& compiled, bool jit) {
  if (!DebugLogWanted()) return;
  const bool linear = compiled.Engine() == EngineKind::Linear;
  const std::string line = std::string("quorve regex: ") +
                           (linear ? "linear (RE2)"
                            : jit  ? "backtracking (PCRE2 JIT)"
                                   : "backtracking (PCRE2 interpreter)") +
                           "; " + compiled.EngineReason() + "; expression " +
                           std::string(expression) + "; pattern " + compiled.Pattern() + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

regex_choice::EngineChoice ChoiceUnderPolicy(const regex_tree::ParsedExpression& parsed) {
  if (Policy() == EnginePolicy::BacktrackingOnly) {
    return {EngineKind::Backtracking, "backtracking only (policy)"};
  }
  return regex_choice::ChooseEngine(parsed, Policy() == EnginePolicy::Automatic);
}

}  // namespace

void SetEnginePolicy(EnginePolicy policy) {
  Policy() = policy;
  TheExpressionCache().Clear();
}

EnginePolicy CurrentEnginePolicy() {
  return Policy();
}

const EngineCounters& Counters() {
  return TheCounters;
}

void ResetCounters() {
  TheCounters = EngineCounters{};
}

std::string_view UpToFirstNul(std::string_view text) {
  const void* nul = std::memchr(text.data(), 0, text.size());
  if (nul == nullptr) return text;
  return text.substr(0, static_cast<const char*>(nul) - text.data());
}

CompiledExpression::CompiledExpression(std::string_view expression, platform::CodePage codePage) {
  const regex_case::CaseMap cases(codePage);
  const regex_tree::ParsedExpression parsed = regex_parser::Parse(expression, cases);
  groupCount_ = parsed.groupCount;
  const regex_choice::EngineChoice choice = ChoiceUnderPolicy(parsed);
  reason_ = choice.reason;
  if (Policy() == EnginePolicy::Automatic) literal_ = regex_literal::LiteralEngine::Create(parsed);
  if (literal_) {
    ++TheCounters.literalCompiles;
    reason_ = "a short list of plain words: the vector scan is fastest";
  } else if (choice.kind == EngineKind::Linear) {
    pattern_ = regex_lowering::LowerToPattern(parsed, cases, regex_lowering::Dialect::Linear);
    std::string refusal;
    linear_ = regex_linear::LinearEngine::Create(
        pattern_, regex_choice::HasLineAnchors(parsed.root), refusal);
    if (linear_) {
      ++TheCounters.linearCompiles;
    } else {
      ++TheCounters.linearRefusals;
      reason_ = "refused by the linear library: " + refusal;
    }
  }
  bool jit = false;
  // A word list also gets PCRE2, which runs it on short subjects.
  if (!linear_) {
    pattern_ = regex_lowering::LowerToPattern(parsed, cases);
    backtracking_ = std::make_unique<regex_backtracking::BacktrackingEngine>(pattern_, cases);
    jit = backtracking_->Jit();
    ++TheCounters.backtrackingCompiles;
    if (!jit) ++TheCounters.interpreterFallbacks;
  }
  LogCompiled(expression, *this, jit);
}

CompiledExpression::~CompiledExpression() = default;

bool CompiledExpression::NeedsLineBreakView() const {
  return linear_ && linear_->NeedsLineBreakView();
}

EngineKind CompiledExpression::Engine() const {
  if (literal_) return EngineKind::Literal;
  return linear_ ? EngineKind::Linear : EngineKind::Backtracking;
}

bool CompiledExpression::Search(std::string_view subject, std::size_t startOffset,
                                MatchOffsets& offsets, std::uint32_t entries) const {
  return SubjectSearch(*this, subject).Search(startOffset, offsets, entries);
}

bool CompiledExpression::SearchPrepared(const SubjectSearch& search, std::size_t startOffset,
                                        MatchOffsets& offsets, std::uint32_t entries) const {
  if (search.wordScan_) {
    ++TheCounters.literalSearches;
    return literal_->Search(search.subject_, search.scan_, startOffset, offsets.data(), entries);
  }
  if (linear_) {
    ++TheCounters.linearSearches;
    return linear_->Search(search.subject_, search.view_.get(), startOffset, offsets.data(),
                           entries);
  }
  ++TheCounters.backtrackingSearches;
  return backtracking_->Search(search.subject_, startOffset, offsets.data(), entries);
}

SubjectSearch::SubjectSearch(const CompiledExpression& compiled, std::string_view subject)
    : compiled_(&compiled), subject_(subject) {
  if (compiled.NeedsLineBreakView()) {
    view_ = std::make_unique<regex_lines::LineBreakView>(subject);
  }
  if (compiled.literal_ && subject.size() >= regex_literal::kMinSubjectLength) {
    wordScan_ = true;
    scan_ = regex_literal::LiteralEngine::NewScan();
  }
}

SubjectSearch::~SubjectSearch() = default;
SubjectSearch::SubjectSearch(SubjectSearch&&) noexcept = default;
SubjectSearch& SubjectSearch::operator=(SubjectSearch&&) noexcept = default;

bool SubjectSearch::Search(std::size_t startOffset, MatchOffsets& offsets,
                           std::uint32_t entries) const {
  return compiled_->SearchPrepared(*this, startOffset, offsets, entries);
}

const std::shared_ptr<const CompiledExpression>& ExpressionCache::Get(std::string_view expression,
                                                                      platform::CodePage codePage) {
  expression = UpToFirstNul(expression);
  if (expression.empty()) throw regex_errors::MakeError(regex_errors::kNoExpression);
  const auto slot = static_cast<std::size_t>(codePage);
  auto found = entries_.find(expression);
  if (found == entries_.end()) {
    if (entries_.size() >= kMaxEntries) entries_.clear();
    found = entries_.emplace(std::string(expression), CodePageEntries{}).first;
  }
  std::unique_ptr<Entry>& entry = found->second[slot];
  if (!entry) {
    auto fresh = std::make_unique<Entry>();
    try {
      fresh->compiled = std::make_shared<const CompiledExpression>(expression, codePage);
    } catch (const ERegExpr& failure) {
      fresh->failureCode = failure.FailureCode;
      fresh->failurePosition = failure.FailurePosition;
    }
    entry = std::move(fresh);
  }
  if (!entry->compiled) throw regex_errors::MakeError(entry->failureCode, entry->failurePosition);
  return entry->compiled;
}

// One cache per thread: several files may be searched at once, and a compiled
// expression's literal scan changes as it searches. Held through a plain pointer
// that the thread lets go in ReleaseThreadCache: a thread-local object with a
// destructor is not safe at thread exit in every C++ run-time (the Windows
// build's frees it after the thread's storage is gone).
namespace {
thread_local ExpressionCache* ThreadCache = nullptr;
}  // namespace

ExpressionCache& TheExpressionCache() {
  if (ThreadCache == nullptr) ThreadCache = new ExpressionCache();
  return *ThreadCache;
}

void ReleaseThreadCache() {
  delete ThreadCache;
  ThreadCache = nullptr;
}

}  // namespace regex_engine
