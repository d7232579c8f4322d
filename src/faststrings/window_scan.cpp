#include "faststrings/window_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#define QUORVE_VECTOR_SCAN 1
#else
#define QUORVE_VECTOR_SCAN 0
#endif

namespace {

inline std::uint8_t Byte(const char* p) {
  return static_cast<std::uint8_t>(*p);
}

// Whole-window checks for a candidate whose first and last bytes already match.
bool InnerBytesEqual(const char* window, const char* pattern, std::int32_t length) {
  return length <= 2 || std::memcmp(window + 1, pattern + 1, length - 2) == 0;
}

bool InnerBytesEqualFolded(const char* window, const char* pattern, std::int32_t length) {
  for (std::int32_t k = 1; k < length - 1; ++k) {
    if (UpperTable[Byte(window + k)] != UpperTable[Byte(pattern + k)]) return false;
  }
  return true;
}

bool CandidateMatches(const PatternScan& scan, const char* window) {
  return scan.foldCase ? InnerBytesEqualFolded(window, scan.pattern, scan.length)
                       : InnerBytesEqual(window, scan.pattern, scan.length);
}

#if QUORVE_VECTOR_SCAN

// Verifies the candidates of one block, lowest start first, so the first hit is
// the leftmost match.
inline const char* FirstVerified(const PatternScan& scan, const char* blockStart,
                                 std::uint32_t candidates) {
  while (candidates != 0) {
    const char* window = blockStart + __builtin_ctz(candidates);
    if (CandidateMatches(scan, window)) return window;
    candidates &= candidates - 1;
  }
  return nullptr;
}

// Scans window starts 0, 16, 32, ... while a whole block of windows fits in the
// text; *scanned receives the first start not looked at.
template <bool kTwoMembers>
const char* ScanBlocksSse2(const PatternScan& scan, const char* text, std::size_t textLength,
                           std::size_t* scanned) {
  constexpr std::size_t kBlock = 16;
  const std::size_t lastOffset = static_cast<std::size_t>(scan.length) - 1;
  const __m128i first0 = _mm_set1_epi8(static_cast<char>(scan.firstBytes[0]));
  const __m128i first1 = _mm_set1_epi8(static_cast<char>(scan.firstBytes[1]));
  const __m128i last0 = _mm_set1_epi8(static_cast<char>(scan.lastBytes[0]));
  const __m128i last1 = _mm_set1_epi8(static_cast<char>(scan.lastBytes[1]));
  std::size_t start = 0;
  for (; start + lastOffset + kBlock <= textLength; start += kBlock) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + start));
    const __m128i tails =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + start + lastOffset));
    __m128i headHits = _mm_cmpeq_epi8(heads, first0);
    __m128i tailHits = _mm_cmpeq_epi8(tails, last0);
    if constexpr (kTwoMembers) {
      headHits = _mm_or_si128(headHits, _mm_cmpeq_epi8(heads, first1));
      tailHits = _mm_or_si128(tailHits, _mm_cmpeq_epi8(tails, last1));
    }
    const auto candidates =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(headHits, tailHits)));
    if (candidates != 0) {
      if (const char* found = FirstVerified(scan, text + start, candidates)) return found;
    }
  }
  *scanned = start;
  return nullptr;
}

template <bool kTwoMembers>
__attribute__((target("avx2"))) const char* ScanBlocksAvx2(const PatternScan& scan,
                                                           const char* text, std::size_t textLength,
                                                           std::size_t* scanned) {
  constexpr std::size_t kBlock = 32;
  const std::size_t lastOffset = static_cast<std::size_t>(scan.length) - 1;
  const __m256i first0 = _mm256_set1_epi8(static_cast<char>(scan.firstBytes[0]));
  const __m256i first1 = _mm256_set1_epi8(static_cast<char>(scan.firstBytes[1]));
  const __m256i last0 = _mm256_set1_epi8(static_cast<char>(scan.lastBytes[0]));
  const __m256i last1 = _mm256_set1_epi8(static_cast<char>(scan.lastBytes[1]));
  std::size_t start = 0;
  for (; start + lastOffset + kBlock <= textLength; start += kBlock) {
    const __m256i heads = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + start));
    const __m256i tails =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + start + lastOffset));
    __m256i headHits = _mm256_cmpeq_epi8(heads, first0);
    __m256i tailHits = _mm256_cmpeq_epi8(tails, last0);
    if constexpr (kTwoMembers) {
      headHits = _mm256_or_si256(headHits, _mm256_cmpeq_epi8(heads, first1));
      tailHits = _mm256_or_si256(tailHits, _mm256_cmpeq_epi8(tails, last1));
    }
    const auto candidates =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(headHits, tailHits)));
    if (candidates != 0) {
      if (const char* found = FirstVerified(scan, text + start, candidates)) return found;
    }
  }
  *scanned = start;
  return nullptr;
}

bool CpuHasAvx2() {
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2;
}

const char* ScanBlocks(const PatternScan& scan, const char* text, std::size_t textLength,
                       std::size_t* scanned) {
  std::size_t wide = 0;
  if (CpuHasAvx2()) {
    const char* found = scan.twoMembers ? ScanBlocksAvx2<true>(scan, text, textLength, &wide)
                                        : ScanBlocksAvx2<false>(scan, text, textLength, &wide);
    if (found != nullptr) return found;
  }
  // The 16-byte blocks take what is left after the 32-byte ones (short lines, tails).
  std::size_t narrow = 0;
  const char* found = scan.twoMembers
                          ? ScanBlocksSse2<true>(scan, text + wide, textLength - wide, &narrow)
                          : ScanBlocksSse2<false>(scan, text + wide, textLength - wide, &narrow);
  *scanned = wide + narrow;
  return found;
}

#endif  // QUORVE_VECTOR_SCAN

}  // namespace

const char* ScalarSkipSearch(const char* text, const char* pattern, std::size_t textLength,
                             std::int32_t patternLength, const SkipTable& table) {
  const std::size_t m = static_cast<std::size_t>(patternLength);
  if (textLength < m) return nullptr;
  // end is the offset of the text byte under the pattern's last byte.
  for (std::size_t end = m - 1; end < textLength;) {
    std::size_t k = 0;
    while (k < m && text[end - k] == pattern[m - 1 - k]) ++k;
    if (k == m) return text + end - (m - 1);
    end += static_cast<std::size_t>(table[Byte(text + end)]);
  }
  return nullptr;
}

const char* ScalarSkipSearchNoCase(const char* text, const char* pattern, std::size_t textLength,
                                   std::int32_t patternLength, const SkipTable& table) {
  const std::size_t m = static_cast<std::size_t>(patternLength);
  if (textLength < m) return nullptr;
  for (std::size_t end = m - 1; end < textLength;) {
    std::size_t k = 0;
    while (k < m && UpperTable[Byte(text + end - k)] == UpperTable[Byte(pattern + m - 1 - k)]) {
      ++k;
    }
    if (k == m) return text + end - (m - 1);
    end += static_cast<std::size_t>(table[UpperTable[Byte(text + end)]]);
  }
  return nullptr;
}

int FoldClassMembers(std::uint8_t byte, std::uint8_t members[2]) {
  const std::uint8_t folded = UpperTable[byte];
  int count = 0;
  for (int b = 0; b < 256; ++b) {
    if (UpperTable[b] != folded) continue;
    if (count < 2) members[count] = static_cast<std::uint8_t>(b);
    ++count;
  }
  return count;
}

PatternScan PrepareExactScan(const char* pattern, std::int32_t length, const SkipTable& table) {
  PatternScan scan;
  scan.pattern = pattern;
  scan.length = length;
  scan.table = &table;
  scan.vectorised = QUORVE_VECTOR_SCAN && length > 0;
  if (scan.vectorised) {
    scan.firstBytes[0] = scan.firstBytes[1] = Byte(pattern);
    scan.lastBytes[0] = scan.lastBytes[1] = Byte(pattern + length - 1);
  }
  return scan;
}

PatternScan PrepareFoldedScan(const char* pattern, std::int32_t length, const SkipTable& table,
                              std::size_t textLength) {
  PatternScan scan;
  scan.pattern = pattern;
  scan.length = length;
  scan.table = &table;
  scan.foldCase = true;
  if (!QUORVE_VECTOR_SCAN || length <= 0 || textLength < kVectorScanMinLength) return scan;
  const int firstCount = FoldClassMembers(Byte(pattern), scan.firstBytes);
  const int lastCount = FoldClassMembers(Byte(pattern + length - 1), scan.lastBytes);
  // A class of three or more bytes would need more compares than it saves.
  if (firstCount > 2 || lastCount > 2) return scan;
  if (firstCount == 1) scan.firstBytes[1] = scan.firstBytes[0];
  if (lastCount == 1) scan.lastBytes[1] = scan.lastBytes[0];
  scan.twoMembers = firstCount == 2 || lastCount == 2;
  scan.vectorised = true;
  return scan;
}

const char* FindFirst(const PatternScan& scan, const char* text, std::size_t textLength) {
  std::size_t scanned = 0;
#if QUORVE_VECTOR_SCAN
  if (scan.vectorised && textLength >= static_cast<std::size_t>(scan.length) + 15) {
    if (const char* found = ScanBlocks(scan, text, textLength, &scanned)) return found;
  }
#endif
  // Windows starting before `scanned` have all been looked at.
  return scan.foldCase ? ScalarSkipSearchNoCase(text + scanned, scan.pattern, textLength - scanned,
                                                scan.length, *scan.table)
                       : ScalarSkipSearch(text + scanned, scan.pattern, textLength - scanned,
                                          scan.length, *scan.table);
}
