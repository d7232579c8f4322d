// Replace-all over 64 MiB of English-like text, beside the same replacement
// written as a std::string::find loop and as a memmem loop.
#include <benchmark/benchmark.h>
#include <string.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "faststrings/fast_strings.h"
#include "faststrings/replace_all.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kTextSize = std::size_t{64} << 20;

// Lines of 40 to 120 characters made of common words, with "cat" about once
// per 2 KiB. The raw generator output is used directly so the text is the same
// with every standard library.
std::string MakeText(std::string_view lineEnd) {
  static constexpr std::array<std::string_view, 48> kWords = {
      "the",  "of",    "and",  "to",  "in",   "is",    "you", "that", "it",    "he",
      "was",  "for",   "on",   "are", "as",   "with",  "his", "they", "at",    "be",
      "this", "have",  "from", "or",  "one",  "had",   "by",  "word", "but",   "not",
      "what", "all",   "were", "we",  "when", "your",  "can", "said", "there", "use",
      "each", "which", "she",  "do",  "how",  "their", "if",  "will"};
  std::mt19937_64 random(0x5eed);
  std::string text;
  text.reserve(kTextSize + 256);
  std::size_t nextCat = 2048;
  while (text.size() < kTextSize) {
    const std::size_t lineLength = 40 + random() % 81;
    const std::size_t lineStart = text.size();
    bool firstWord = true;
    while (text.size() - lineStart < lineLength) {
      if (!firstWord) text += ' ';
      firstWord = false;
      if (text.size() >= nextCat) {
        text += "cat";
        nextCat += 1024 + random() % 2048;
      } else {
        text += kWords[random() % kWords.size()];
      }
    }
    text += lineEnd;
  }
  return text;
}

const std::string& LfText() {
  static const std::string text = MakeText("\n");
  return text;
}

const std::string& CrLfText() {
  static const std::string text = MakeText("\r\n");
  return text;
}

// The baselines build their output the same way: one buffer of the source's
// size (plus room for growth), advised for huge pages like ours, gap and
// replacement appended per match. So the comparison is about the search.
template <typename Find>
std::string LoopReplace(std::string_view source, std::string_view search, std::string_view replace,
                        Find find) {
  std::string out;
  out.reserve(source.size() + source.size() / 8);
  platform::AdviseHugePages(out.data(), out.capacity());
  std::size_t read = 0;
  for (;;) {
    const std::size_t match = find(source, search, read);
    if (match == std::string_view::npos) break;
    out.append(source.substr(read, match - read));
    out.append(replace);
    read = match + search.size();
  }
  out.append(source.substr(read));
  return out;
}

std::size_t StringFind(std::string_view source, std::string_view search, std::size_t from) {
  return source.find(search, from);
}

std::size_t MemmemFind(std::string_view source, std::string_view search, std::size_t from) {
  const void* found =
      memmem(source.data() + from, source.size() - from, search.data(), search.size());
  return found == nullptr
             ? std::string_view::npos
             : static_cast<std::size_t>(static_cast<const char*>(found) - source.data());
}

enum class Engine { Quorve, QuorveFolded, StringFindLoop, MemmemLoop };

std::string Run(Engine engine, std::string_view source, std::string_view search,
                std::string_view replace) {
  switch (engine) {
    case Engine::Quorve:
      return ReplaceAll(source, search, replace, CaseMode::Exact);
    case Engine::QuorveFolded:
      return ReplaceAll(source, search, replace, CaseMode::Folded);
    case Engine::StringFindLoop:
      return LoopReplace(source, search, replace, StringFind);
    case Engine::MemmemLoop:
      return LoopReplace(source, search, replace, MemmemFind);
  }
  return {};
}

void Replace(benchmark::State& state, Engine engine, const std::string& (*text)(),
             std::string_view search, std::string_view replace) {
  const std::string& source = text();
  std::size_t outputSize = 0;
  for (auto _ : state) {
    std::string out = Run(engine, source, search, replace);
    outputSize = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
  state.counters["out_MiB"] = static_cast<double>(outputSize) / (1 << 20);
}

// The line-by-line way: one call per line into a reused buffer.
void ReplacePerLine(benchmark::State& state, CaseMode caseMode) {
  const std::string& source = LfText();
  std::string buffer;
  for (auto _ : state) {
    std::size_t lineStart = 0;
    std::size_t total = 0;
    while (lineStart < source.size()) {
      std::size_t lineEnd = source.find('\n', lineStart);
      if (lineEnd == std::string::npos) lineEnd = source.size();
      const std::string_view line(source.data() + lineStart, lineEnd - lineStart);
      total += ReplaceAllInto(buffer, line, "cat", "dog", caseMode) ? buffer.size() : line.size();
      lineStart = lineEnd + 1;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// Replacement in the text's own buffer (whole-file mode's way for replacements
// not longer than the search); the fresh copy of the text is not timed.
void ReplaceInPlace(benchmark::State& state, CaseMode caseMode, const std::string& (*text)(),
                    std::string_view search, std::string_view replace) {
  const std::string& source = text();
  std::string buffer;
  buffer.reserve(source.size());
  platform::AdviseHugePages(buffer.data(), buffer.capacity());
  for (auto _ : state) {
    state.PauseTiming();
    buffer.assign(source);
    state.ResumeTiming();
    ReplaceAllInPlace(buffer, search, replace, caseMode);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// Only the search: every "cat" counted, no output built, so memory traffic is
// one read of the text.
void CountOnly(benchmark::State& state, Engine engine) {
  const std::string& source = LfText();
  const std::string_view search = "cat";
  SkipTable table;
  if (engine == Engine::QuorveFolded) {
    MakeSkipTableNoCase(search.data(), 3, table);
  } else {
    MakeSkipTable(search.data(), 3, table);
  }
  for (auto _ : state) {
    std::size_t count = 0;
    std::size_t from = 0;
    for (;;) {
      std::size_t at = std::string_view::npos;
      if (engine == Engine::Quorve || engine == Engine::QuorveFolded) {
        const auto search3 = engine == Engine::Quorve ? SkipSearch : SkipSearchNoCase;
        const char* found =
            search3(source.data() + from, search.data(), source.size() - from, 3, table);
        if (found != nullptr) at = static_cast<std::size_t>(found - source.data());
      } else {
        at = engine == Engine::MemmemLoop ? MemmemFind(source, search, from)
                                          : StringFind(source, search, from);
      }
      if (at == std::string_view::npos) break;
      ++count;
      from = at + search.size();
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// Fills a fresh 64 MiB buffer, with and without the huge-page hint, to see what
// the hint is worth for a whole-file output on this machine.
void FreshBufferFill(benchmark::State& state) {
  const bool advise = state.range(0) != 0;
  const std::string& source = LfText();
  for (auto _ : state) {
    std::string out;
    out.reserve(source.size());
    if (advise) platform::AdviseHugePages(out.data(), out.capacity());
    out.append(source);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

void RegisterAll() {
  struct Case {
    const char* name;
    const std::string& (*text)();
    std::string_view search;
    std::string_view replace;
  };
  static const Case kCases[] = {
      {"rare_cat", LfText, "cat", "dog"},
      {"frequent_byte_e", LfText, "e", "E"},
      {"crlf_to_empty", CrLfText, "\r\n", ""},
      {"search_20_bytes", LfText, "which she said there", "X"},
      {"rare_cat_longer", LfText, "cat", "elephant"},
  };
  static const std::pair<Engine, const char*> kEngines[] = {
      {Engine::Quorve, "quorve_exact"},
      {Engine::QuorveFolded, "quorve_folded"},
      {Engine::StringFindLoop, "string_find"},
      {Engine::MemmemLoop, "memmem"},
  };
  for (const Case& c : kCases) {
    for (auto [engine, engineName] : kEngines) {
      const std::string name = std::string(c.name) + "/" + engineName;
      benchmark::RegisterBenchmark(name.c_str(), Replace, engine, c.text, c.search, c.replace)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  for (auto [engine, engineName] : kEngines) {
    const std::string name = std::string("count_only_cat/") + engineName;
    benchmark::RegisterBenchmark(name.c_str(), CountOnly, engine)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  for (CaseMode caseMode : {CaseMode::Exact, CaseMode::Folded}) {
    const std::string suffix = caseMode == CaseMode::Exact ? "exact" : "folded";
    benchmark::RegisterBenchmark(("crlf_to_empty/in_place_" + suffix).c_str(), ReplaceInPlace,
                                 caseMode, CrLfText, "\r\n", "")
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("rare_cat/in_place_" + suffix).c_str(), ReplaceInPlace, caseMode,
                                 LfText, "cat", "dog")
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("per_line_cat/quorve_exact", ReplacePerLine, CaseMode::Exact)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("per_line_cat/quorve_folded", ReplacePerLine, CaseMode::Folded)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("fresh_buffer_fill", FreshBufferFill)
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  FastStringsStartUp();
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
