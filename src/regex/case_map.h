// Letter case of single bytes for case-insensitive expressions, in one code page.
#pragma once

#include <array>
#include <cstdint>

#include "platform/code_page.h"

namespace regex_case {

// The upper-case form of c; when that is c itself, its lower-case form.
std::uint8_t SwapCharCase(platform::CodePage codePage, std::uint8_t c);

// SwapCharCase for every byte of one code page, with the pairs that fold both ways.
class CaseMap {
 public:
  explicit CaseMap(platform::CodePage codePage);

  platform::CodePage CodePage() const { return codePage_; }
  std::uint8_t Swap(std::uint8_t c) const { return swap_[c]; }
  // True when c and its swap are each other's swap, so that "same letter, either
  // case" is a true pairing the matcher's own case tables can express.
  bool FoldsBothWays(std::uint8_t c) const { return swap_[c] != c && swap_[swap_[c]] == c; }

  // Character tables for the matching library: its caseless comparisons then
  // follow this code page, and its word characters are the 63 of the word set.
  static constexpr std::size_t kMatcherTablesLength = 1088;
  std::array<std::uint8_t, kMatcherTablesLength> MatcherTables() const;

 private:
  platform::CodePage codePage_;
  std::array<std::uint8_t, 256> swap_{};
};

}  // namespace regex_case
