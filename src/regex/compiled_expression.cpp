#include "regex/compiled_expression.h"

#include <cstring>

#include "regex/lowering.h"
#include "regex/parser.h"
#include "regex/regex_errors.h"

namespace regex_engine {

namespace {

// Generous stack for the compiled matcher: long inputs with many open
// backtracking points need it, and it is only reserved, not touched, up front.
constexpr std::size_t kJitStackStart = 256 * 1024;
constexpr std::size_t kJitStackMax = 512 * 1024 * 1024;
// The interpreter's heap limit, in KiB, for when the compiled matcher is missing.
constexpr std::uint32_t kHeapLimitKiB = 4u * 1024 * 1024;

int FailAtRepetitionLevelLimit(pcre2_callout_block* block, void*) {
  if (block->callout_number ==
      static_cast<std::uint32_t>(regex_lowering::kRepetitionLevelCallout)) {
    return PCRE2_ERROR_CALLOUT;
  }
  return 0;
}

// The match context all searches share: the thread's one stack for the compiled
// matcher, no match-count limit (backtracking bounds are the library's own), and
// the callout that enforces the repetition-level limit.
class MatchResources {
 public:
  MatchResources() {
    context_ = pcre2_match_context_create(nullptr);
    stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (context_ == nullptr) throw std::bad_alloc();
    if (stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, stack_);
    pcre2_set_match_limit(context_, 0xFFFFFFFFu);
    pcre2_set_depth_limit(context_, 0xFFFFFFFFu);
    pcre2_set_heap_limit(context_, kHeapLimitKiB);
    pcre2_set_callout(context_, FailAtRepetitionLevelLimit, nullptr);
  }
  ~MatchResources() {
    pcre2_match_context_free(context_);
    if (stack_ != nullptr) pcre2_jit_stack_free(stack_);
  }
  pcre2_match_context* Context() const { return context_; }

 private:
  pcre2_match_context* context_ = nullptr;
  pcre2_jit_stack* stack_ = nullptr;
};

pcre2_match_context* SharedMatchContext() {
  static MatchResources resources;
  return resources.Context();
}

}  // namespace

MatchData NewMatchData() {
  MatchData data(pcre2_match_data_create(kMatchTableEntries, nullptr));
  if (!data) throw std::bad_alloc();
  return data;
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
  pattern_ = regex_lowering::LowerToPattern(parsed, cases);
  tables_ = cases.MatcherTables();

  pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
  if (compileContext == nullptr) throw std::bad_alloc();
  pcre2_set_character_tables(compileContext, tables_.data());
  int errorNumber = 0;
  PCRE2_SIZE errorOffset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(),
                        PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C, &errorNumber,
                        &errorOffset, compileContext);
  pcre2_compile_context_free(compileContext);
  // Every pattern made from a valid expression is valid; what the library can
  // still refuse is one too big for its compiled form.
  if (code_ == nullptr) throw regex_errors::MakeError(regex_errors::kExpressionTooBig);
  // Without the compiled matcher the interpreter gives the same results, slower.
  pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
  scratch_ = NewMatchData();
}

CompiledExpression::~CompiledExpression() {
  pcre2_code_free(code_);
}

bool CompiledExpression::Search(std::string_view subject, std::size_t startOffset,
                                pcre2_match_data* matchData) const {
  const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                             startOffset, 0, matchData, SharedMatchContext());
  if (rc >= 0) return true;
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc == PCRE2_ERROR_CALLOUT) throw regex_errors::MakeError(regex_errors::kLoopStackExceeded);
  if (rc == PCRE2_ERROR_NOMEMORY) throw std::bad_alloc();
  throw regex_errors::MakeError(regex_errors::kMatcherLimitExceeded);
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

ExpressionCache& TheExpressionCache() {
  static ExpressionCache cache;
  return cache;
}

}  // namespace regex_engine
