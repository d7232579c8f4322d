// The expression module on 32 MiB of English-like text in memory: each
// expression replaced through RegexReplaceInto on each library (RE2 where the
// tree allows it, PCRE2 for all), whole text and line by line. The counters of
// the module say which library compiled and searched (linear_searches,
// backtracking_searches) and whether PCRE2 fell back from JIT to its
// interpreter (interpreter_fallbacks): a fall-back shows here, never silently.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "regex/compiled_expression.h"
#include "regex/regexpr.h"

namespace {

using regex_engine::EnginePolicy;

constexpr std::size_t kTextSize = std::size_t{32} << 20;

// Lines of 40 to 120 characters of common words, "cat" about once per 2 KiB; CR
// LF line ends, as whole-file mode joins lines.
const std::string& Text() {
  static const std::string text = [] {
    static constexpr std::array<std::string_view, 24> kWords = {
        "the",  "of",   "and",  "to",  "in",   "is",    "you",  "that",
        "it",   "he",   "was",  "for", "on",   "are",   "as",   "with",
        "this", "have", "bird", "dog", "word", "there", "your", "going"};
    std::mt19937_64 random(0x5eed);
    std::string result;
    result.reserve(kTextSize + 256);
    std::size_t nextCat = 2048;
    while (result.size() < kTextSize) {
      const std::size_t lineLength = 40 + random() % 81;
      const std::size_t lineStart = result.size();
      while (result.size() - lineStart < lineLength) {
        if (result.size() > lineStart) result += ' ';
        if (result.size() >= nextCat) {
          result += "cat";
          nextCat += 1024 + random() % 2048;
        } else {
          result += kWords[random() % kWords.size()];
        }
      }
      result += "\r\n";
    }
    return result;
  }();
  return text;
}

const std::vector<std::string_view>& Lines() {
  static const std::vector<std::string_view> lines = [] {
    std::vector<std::string_view> result;
    const std::string_view text = Text();
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find("\r\n", at);
      result.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return result;
  }();
  return lines;
}

struct Case {
  const char* expression;
  const char* replacement;
};

constexpr Case kCases[] = {{"(cat)", "[$1]"},          {"cat|dog|bird", "X"},
                           {"(?i)the", "X"},           {"(\\w+) (cat|dog)", "$2 $1"},
                           {"\\b(\\w+)or\\b", "<$1>"}, {"(?m)^The\\b", "X"},
                           {"(?m)\\s+$", ""},          {"[a-z]+ing", "X"}};

void ReportCounters(benchmark::State& state) {
  const regex_engine::EngineCounters& counters = regex_engine::Counters();
  state.counters["linear_searches"] = static_cast<double>(counters.linearSearches);
  state.counters["backtracking_searches"] = static_cast<double>(counters.backtrackingSearches);
  state.counters["interpreter_fallbacks"] = static_cast<double>(counters.interpreterFallbacks);
}

void WholeText(benchmark::State& state, EnginePolicy policy) {
  const Case& c = kCases[state.range(0)];
  regex_engine::SetEnginePolicy(policy);
  regex_engine::ResetCounters();
  std::string output;
  for (auto _ : state) {
    RegexReplaceInto(output, c.expression, Text(), c.replacement, ReplacementKind::Template);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetLabel(c.expression);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Text().size()));
  ReportCounters(state);
}

void PerLine(benchmark::State& state, EnginePolicy policy) {
  const Case& c = kCases[state.range(0)];
  regex_engine::SetEnginePolicy(policy);
  regex_engine::ResetCounters();
  std::string output;
  for (auto _ : state) {
    for (const std::string_view line : Lines()) {
      RegexReplaceInto(output, c.expression, line, c.replacement, ReplacementKind::Template);
      benchmark::DoNotOptimize(output.data());
    }
  }
  state.SetLabel(c.expression);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Text().size()));
  ReportCounters(state);
}

void Arguments(benchmark::internal::Benchmark* benchmark) {
  for (std::size_t n = 0; n < std::size(kCases); ++n) benchmark->Arg(static_cast<int>(n));
  benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(WholeText, automatic, EnginePolicy::Automatic)->Apply(Arguments);
BENCHMARK_CAPTURE(WholeText, re2_where_possible, EnginePolicy::LinearWherePossible)
    ->Apply(Arguments);
BENCHMARK_CAPTURE(WholeText, pcre2_only, EnginePolicy::BacktrackingOnly)->Apply(Arguments);
BENCHMARK_CAPTURE(PerLine, automatic, EnginePolicy::Automatic)->Apply(Arguments);
BENCHMARK_CAPTURE(PerLine, re2_where_possible, EnginePolicy::LinearWherePossible)->Apply(Arguments);
BENCHMARK_CAPTURE(PerLine, pcre2_only, EnginePolicy::BacktrackingOnly)->Apply(Arguments);

}  // namespace

BENCHMARK_MAIN();
