#include "regex/backtracking_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <limits>
#include <new>

#include "regex/lowering.h"
#include "regex/regex_errors.h"
#include "regex/tree.h"

namespace regex_backtracking {

namespace {

// Stack for the compiled matcher: a long match keeps one backtracking point per
// repetition (about 32 bytes), so a 20 MB line under "(\\w| )*" needs some 700 MB.
// Only the start is touched up front; the rest is address space, taken as the
// search needs it. Where so much address space is refused, a smaller one.
constexpr std::size_t kJitStackStart = 256 * 1024;
constexpr std::size_t kJitStackMax = std::size_t{4} << 30;
constexpr std::size_t kJitStackFallbackMax = std::size_t{512} << 20;
using regex_tree::kMatchTableEntries;

int FailAtRepetitionLevelLimit(pcre2_callout_block* block, void*) {
  if (block->callout_number ==
      static_cast<std::uint32_t>(regex_lowering::kRepetitionLevelCallout)) {
    return PCRE2_ERROR_CALLOUT;
  }
  return 0;
}

// The match context all searches share: the thread's one stack for the compiled
// matcher, the step limits, and the callout that enforces the repetition-level
// limit.
class MatchResources {
 public:
  MatchResources() {
    context_ = pcre2_match_context_create(nullptr);
    stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (stack_ == nullptr)
      stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackFallbackMax, nullptr);
    if (context_ == nullptr) throw std::bad_alloc();
    if (stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, stack_);
    pcre2_set_heap_limit(context_, kHeapLimitKiB);
    pcre2_set_callout(context_, FailAtRepetitionLevelLimit, nullptr);
  }
  ~MatchResources() {
    pcre2_match_context_free(context_);
    if (stack_ != nullptr) pcre2_jit_stack_free(stack_);
  }

  // The context with the limits for a search in a subject of `length` bytes
  // (set again only when the length changes: the replace loop searches one
  // subject many times).
  pcre2_match_context* ContextFor(std::size_t length) {
    if (length != limitsLength_) {
      pcre2_set_match_limit(context_, Scaled(kMatchStepsBase, kMatchStepsPerByte, length));
      pcre2_set_depth_limit(context_, Scaled(kDepthBase, kMatchStepsPerByte, length));
      limitsLength_ = length;
    }
    return context_;
  }

 private:
  static std::uint32_t Scaled(std::uint32_t base, std::uint32_t perByte, std::size_t length) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t wanted = base + std::min<std::uint64_t>(length, kMax) * perByte;
    return static_cast<std::uint32_t>(std::min(wanted, kMax));
  }

  pcre2_match_context* context_ = nullptr;
  pcre2_jit_stack* stack_ = nullptr;
  std::size_t limitsLength_ = static_cast<std::size_t>(-1);
};

// One set per thread: several files may be searched at once. A plain pointer,
// let go by ReleaseThreadMatchResources (see ReleaseThreadCache).
thread_local MatchResources* ThreadResources = nullptr;

MatchResources& SharedMatchResources() {
  if (ThreadResources == nullptr) ThreadResources = new MatchResources();
  return *ThreadResources;
}

}  // namespace

void ReleaseThreadMatchResources() {
  delete ThreadResources;
  ThreadResources = nullptr;
}

BacktrackingEngine::BacktrackingEngine(const std::string& pattern, const regex_case::CaseMap& cases)
    : tables_(cases.MatcherTables()) {
  pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
  if (compileContext == nullptr) throw std::bad_alloc();
  pcre2_set_character_tables(compileContext, tables_.data());
  int errorNumber = 0;
  PCRE2_SIZE errorOffset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                        PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C, &errorNumber,
                        &errorOffset, compileContext);
  pcre2_compile_context_free(compileContext);
  // Every pattern made from a valid expression is valid; what the library can
  // still refuse is one too big for its compiled form.
  if (code_ == nullptr) throw regex_errors::MakeError(regex_errors::kExpressionTooBig);
  jit_ = pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) == 0;
  matchData_ = pcre2_match_data_create(kMatchTableEntries, nullptr);
  if (matchData_ == nullptr) {
    pcre2_code_free(code_);
    throw std::bad_alloc();
  }
}

BacktrackingEngine::~BacktrackingEngine() {
  pcre2_match_data_free(matchData_);
  pcre2_code_free(code_);
}

bool BacktrackingEngine::Search(std::string_view subject, std::size_t start, std::size_t* offsets,
                                std::uint32_t entries) const {
  pcre2_match_context* context = SharedMatchResources().ContextFor(subject.size());
  const auto text = reinterpret_cast<PCRE2_SPTR>(subject.data());
  // The compiled matcher directly, without the checks pcre2_match makes first.
  const int rc = jit_ ? pcre2_jit_match(code_, text, subject.size(), start, 0, matchData_, context)
                      : pcre2_match(code_, text, subject.size(), start, 0, matchData_, context);
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc == PCRE2_ERROR_CALLOUT) throw regex_errors::MakeError(regex_errors::kLoopStackExceeded);
  if (rc == PCRE2_ERROR_NOMEMORY) throw std::bad_alloc();
  if (rc < 0) throw regex_errors::MakeError(regex_errors::kMatcherLimitExceeded);
  const PCRE2_SIZE* found = pcre2_get_ovector_pointer(matchData_);
  std::copy(found, found + 2 * std::min(entries, kMatchTableEntries), offsets);
  return true;
}

}  // namespace regex_backtracking
