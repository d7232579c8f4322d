// An expression compiled for PCRE2, the backtracking library, which runs every
// construct of the language, backreferences included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "regex/case_map.h"

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

namespace regex_backtracking {

// Bounds on one search, so that a catastrophic expression fails (1015) instead
// of running for minutes. PCRE2 counts its backtracking steps; with JIT it makes
// about 200 million a second on this machine (2 vCPU AMD EPYC), so the base
// ends an exponential search on a short text in about half a second. A search
// may also take kMatchStepsPerByte for each byte of its subject: a long match
// that goes through the text once takes a few steps per byte and is never
// refused.
constexpr std::uint32_t kMatchStepsBase = 100'000'000;
constexpr std::uint32_t kMatchStepsPerByte = 64;
// The interpreter (used only when JIT compiling fails) also bounds its nesting
// of backtracking points and its heap, each scaled the same way.
constexpr std::uint32_t kDepthBase = 10'000'000;
constexpr std::uint32_t kHeapLimitKiB = 4u * 1024 * 1024;

class BacktrackingEngine {
 public:
  // pattern comes from regex_lowering's backtracking dialect. Raises ERegExpr
  // 1016 when the library refuses it (too big for its compiled form).
  BacktrackingEngine(const std::string& pattern, const regex_case::CaseMap& cases);
  ~BacktrackingEngine();
  BacktrackingEngine(const BacktrackingEngine&) = delete;
  BacktrackingEngine& operator=(const BacktrackingEngine&) = delete;

  // False when JIT compiling failed and the slower interpreter runs the pattern
  // (same results).
  bool Jit() const { return jit_; }

  // Searches subject from start; writes entries 0..entries-1 (start and end
  // offsets, SIZE_MAX when unset) into offsets. Raises ERegExpr 1014 at the
  // repetition-level limit and 1015 at the step limits.
  bool Search(std::string_view subject, std::size_t start, std::size_t* offsets,
              std::uint32_t entries) const;

 private:
  std::array<std::uint8_t, regex_case::CaseMap::kMatcherTablesLength> tables_{};
  pcre2_real_code_8* code_ = nullptr;
  // The program is single-threaded: one match block per compiled expression.
  pcre2_real_match_data_8* matchData_ = nullptr;
  bool jit_ = false;
};

// Lets go of the calling thread's match resources (a later search makes new ones).
void ReleaseThreadMatchResources();

}  // namespace regex_backtracking
