// A plain search in UTF-8 text that folds letters by Unicode's simple case
// folding: "Müller" finds "MÜLLER", "σ" finds "Σ" and "ς". A match can be longer
// or shorter in bytes than the search ("k" also finds the three-byte Kelvin sign).
// Bytes that are not valid UTF-8, in the search or in the text, match only
// themselves.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "faststrings/fast_strings.h"
#include "faststrings/unicode_case.h"

// Whether a search in this case mode needs the Unicode-folding search: folded in
// a UTF-8 locale, and holding bytes beyond ASCII (an ASCII search keeps the byte
// search, and its results).
bool NeedsUnicodeFolding(std::string_view search, CaseMode caseMode);

class UnicodeFoldedSearch {
 public:
  // search must not be empty.
  explicit UnicodeFoldedSearch(std::string_view search);
  ~UnicodeFoldedSearch();
  UnicodeFoldedSearch(const UnicodeFoldedSearch&) = delete;
  UnicodeFoldedSearch& operator=(const UnicodeFoldedSearch&) = delete;

  struct Match {
    std::size_t offset = 0;
    std::size_t length = 0;
  };
  // The leftmost match in text that starts at or after `from`; false when none.
  bool Find(std::string_view text, std::size_t from, Match& match) const;

  std::size_t ShortestMatch() const { return shortest_; }
  std::size_t LongestMatch() const { return longest_; }

 private:
  struct Matcher;
  // The length of the match of units_[first..] at text[at..], or npos.
  std::size_t TailLength(std::string_view text, std::size_t at, std::size_t first) const;

  std::vector<unicode_case::SearchUnit> units_;
  std::size_t shortest_ = 0;
  std::size_t longest_ = 0;
  std::unique_ptr<Matcher> matcher_;
};
