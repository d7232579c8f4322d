// The engine behind SkipSearch and SkipSearchNoCase. A vector compare of the
// pattern's first and last byte over 16 (SSE2) or 32 (AVX2) window starts at once
// picks the windows worth verifying; a last block aligned to the end of the text
// covers the tail, and texts with fewer than 16 window starts are compared window
// by window. The scalar skip search remains for fold classes too large for the
// vector compare and for builds without SSE2. Results are those of the scalar
// skip search: the leftmost match, no byte read outside the range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "faststrings/fast_strings.h"

// What a search needs to know about its pattern, worked out once per pattern and
// call so that repeated searches (one per match in replace-all) pay nothing.
struct PatternScan {
  const char* pattern = nullptr;
  std::int32_t length = 0;
  const SkipTable* table = nullptr;  // read only when vectorised is clear
  bool foldCase = false;
  // When set, a window can only match if its first byte is one of firstBytes and
  // its last byte one of lastBytes (each pair holds one byte twice when the fold
  // class has a single member).
  bool vectorised = false;
  bool twoMembers = false;  // some fold class above has two distinct members
  std::uint8_t firstBytes[2] = {0, 0};
  std::uint8_t lastBytes[2] = {0, 0};
};

PatternScan PrepareExactScan(const char* pattern, std::int32_t length, const SkipTable& table);
PatternScan PrepareFoldedScan(const char* pattern, std::int32_t length, const SkipTable& table);

// Address of the leftmost match in text[0, textLength), or nullptr.
const char* FindFirst(const PatternScan& scan, const char* text, std::size_t textLength);

// Up to `capacity` matches, left to right, each starting at or after the end of
// the one before (the matches replace-all uses). Returns how many were stored;
// fewer than `capacity` means there are no more in the text. Gathering them in
// batches saves a call and a vector set-up per match when matches are dense.
std::size_t FindMatches(const PatternScan& scan, const char* text, std::size_t textLength,
                        const char** matches, std::size_t capacity);

// The scan of a search, and its skip table when the scan needs one (no vector
// compare possible); the scan points at the table and at the search's bytes.
PatternScan PrepareScan(std::string_view search, CaseMode caseMode, SkipTable& table);

// The scan of one search text with its table; it stays where it was built.
struct PreparedSearch {
  PreparedSearch(std::string_view search, CaseMode caseMode);
  PreparedSearch(const PreparedSearch&) = delete;
  PreparedSearch& operator=(const PreparedSearch&) = delete;

  SkipTable table;
  PatternScan scan;
};

// The plain skip-table searches (window compared from its end, shift taken from
// the byte under the pattern's last position).
const char* ScalarSkipSearch(const char* text, const char* pattern, std::size_t textLength,
                             std::int32_t patternLength, const SkipTable& table);
const char* ScalarSkipSearchNoCase(const char* text, const char* pattern, std::size_t textLength,
                                   std::int32_t patternLength, const SkipTable& table);

// Every byte b with UpperTable[b] == UpperTable[byte], in increasing order, up to
// two of them; returns how many there are in all (so more than 2 means too many).
int FoldClassMembers(std::uint8_t byte, std::uint8_t members[2]);
