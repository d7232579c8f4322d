// Replace every occurrence, left to right, without overlap; the inserted text is
// never scanned again. Under CaseMode::FoldedUnicode a search with bytes beyond
// ASCII finds the case forms of its letters (faststrings/unicode_search.h).
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "faststrings/fast_strings.h"
#include "faststrings/unicode_search.h"
#include "faststrings/window_scan.h"

// A replace loop told to stop after `most` matches (-k) leaves the rest of the
// text as it is; kEveryMatch sets no limit. The loops return how many they
// replaced, which is what a run's counts are made of.
constexpr std::size_t kEveryMatch = std::numeric_limits<std::size_t>::max();

std::string ReplaceAll(std::string_view source, std::string_view search, std::string_view replace,
                       CaseMode caseMode);

// The same into a caller's buffer (its capacity is reused; source must not alias it),
// at most `most` matches. Returns how many were replaced; none leaves output
// untouched, and output then does not hold the result.
std::size_t ReplaceAllInto(std::string& output, std::string_view source, std::string_view search,
                           std::string_view replace, CaseMode caseMode,
                           std::size_t most = kEveryMatch);

// The same in the text's own buffer, for a replacement no longer than the search
// (whole-file mode: no second buffer of the file's size). A longer replacement
// is built in a new buffer that then takes the text's place. Returns how many
// matches were replaced (none leaves text untouched). search and replace must
// not point into text.
std::size_t ReplaceAllInPlace(std::string& text, std::string_view search, std::string_view replace,
                              CaseMode caseMode, std::size_t most = kEveryMatch);

// The leftmost matches of a scan, a batch at a time: dense matches (a frequent
// byte) then cost one search call per batch instead of one per match.
struct MatchList {
  static constexpr std::size_t kBatch = 64;
  const char* matches[kBatch];
  std::size_t count = 0;
  std::size_t asked = 0;  // fewer found than asked: there are no more

  // The next batch from `from` on, no more than `left` matches.
  void Fetch(const PatternScan& scan, const char* from, const char* end, std::size_t left) {
    asked = left < kBatch ? left : kBatch;
    count = asked == 0
                ? 0
                : FindMatches(scan, from, static_cast<std::size_t>(end - from), matches, asked);
  }
  bool MayHaveMore() const { return count == asked && asked != 0; }
};

// The loop behind ReplaceAllInPlace, for a text that may go on beyond end: every match of scan
// lying wholly in [begin, end) replaced in the buffer itself, for a replacement
// not longer than the search, at most `most` of them. Returns where the rest
// after the last match starts (begin when there was none), where its bytes
// belong now and how many matches were replaced; moving the rest is the caller's.
struct InPlaceProgress {
  char* write;
  const char* read;
  std::size_t replaced;
};
InPlaceProgress ReplaceMatchesInPlace(const PatternScan& scan, char* begin, const char* end,
                                      std::string_view replace, std::size_t most = kEveryMatch);

// One pair prepared once for many texts (every line of a line-by-line run): the
// scan's set-up is paid once, and the search can also run over many lines at once.
class PreparedReplacement {
 public:
  PreparedReplacement(std::string_view search, std::string_view replace, CaseMode caseMode);
  // The scan points into the object itself.
  PreparedReplacement(const PreparedReplacement&) = delete;
  PreparedReplacement& operator=(const PreparedReplacement&) = delete;

  // The leftmost match in text, or nullptr (always for an empty search).
  const char* FindIn(std::string_view text) const;
  // What ReplaceAllInto gives for this pair.
  std::size_t ReplaceInto(std::string& output, std::string_view source,
                          std::size_t most = kEveryMatch) const;
  // No match is shorter (the search's length, but for a search folded by Unicode's
  // rules, whose matches can differ in length).
  std::size_t ShortestMatchLength() const;

 private:
  std::string search_;
  std::string replace_;
  SkipTable table_{};
  PatternScan scan_;
  std::unique_ptr<UnicodeFoldedSearch> unicode_;
};
