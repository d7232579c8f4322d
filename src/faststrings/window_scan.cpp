#include "faststrings/window_scan.h"

#include <algorithm>
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

[[maybe_unused]] bool CandidateMatches(const PatternScan& scan, const char* window) {
  return scan.foldCase ? InnerBytesEqualFolded(window, scan.pattern, scan.length)
                       : InnerBytesEqual(window, scan.pattern, scan.length);
}

// Leftmost matches gathered for the caller, each starting at or after the end
// of the one before (`next`), so they never overlap.
struct MatchBatch {
  const char** matches;
  std::size_t capacity;
  std::size_t count;
  const char* next;
};

#if QUORVE_VECTOR_SCAN

// Verifies the candidates of one block, lowest start first. Returns true when
// the batch is full.
inline bool CollectVerified(const PatternScan& scan, MatchBatch& batch, const char* blockStart,
                            std::uint32_t candidates) {
  for (; candidates != 0; candidates &= candidates - 1) {
    const char* window = blockStart + __builtin_ctz(candidates);
    if (window < batch.next || !CandidateMatches(scan, window)) continue;
    batch.matches[batch.count++] = window;
    batch.next = window + scan.length;
    if (batch.count == batch.capacity) return true;
  }
  return false;
}

// The bytes a window's first and last byte may be, broadcast to every lane.
struct ByteSets128 {
  explicit ByteSets128(const PatternScan& scan)
      : first0(_mm_set1_epi8(static_cast<char>(scan.firstBytes[0]))),
        first1(_mm_set1_epi8(static_cast<char>(scan.firstBytes[1]))),
        last0(_mm_set1_epi8(static_cast<char>(scan.lastBytes[0]))),
        last1(_mm_set1_epi8(static_cast<char>(scan.lastBytes[1]))) {}
  __m128i first0, first1, last0, last1;
};

// Bit j set: the window starting at blockStart + j has a possible first and last byte.
template <bool kTwoMembers>
std::uint32_t CandidatesSse2(const ByteSets128& sets, const char* blockStart,
                             std::size_t lastOffset) {
  const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blockStart));
  const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blockStart + lastOffset));
  __m128i headHits = _mm_cmpeq_epi8(heads, sets.first0);
  __m128i tailHits = _mm_cmpeq_epi8(tails, sets.last0);
  if constexpr (kTwoMembers) {
    headHits = _mm_or_si128(headHits, _mm_cmpeq_epi8(heads, sets.first1));
    tailHits = _mm_or_si128(tailHits, _mm_cmpeq_epi8(tails, sets.last1));
  }
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(headHits, tailHits)));
}

// Scans blocks of window starts from offset `start` while a whole block fits in
// the text, then one last block that ends at the last window start (overlapping
// starts already looked at are masked out), so no scalar tail is left. Returns
// true when the batch filled up.
template <bool kTwoMembers>
bool ScanBlocksSse2(const PatternScan& scan, const char* text, std::size_t textLength,
                    std::size_t start, MatchBatch& batch) {
  constexpr std::size_t kBlock = 16;
  const std::size_t lastOffset = static_cast<std::size_t>(scan.length) - 1;
  const ByteSets128 sets(scan);
  while (start + lastOffset + kBlock <= textLength) {
    const std::uint32_t candidates = CandidatesSse2<kTwoMembers>(sets, text + start, lastOffset);
    if (candidates != 0 && CollectVerified(scan, batch, text + start, candidates)) return true;
    // A match may reach past this block: no window inside it can start a match.
    start = std::max(start + kBlock, static_cast<std::size_t>(batch.next - text));
  }
  const std::size_t windowStarts = textLength - lastOffset;  // 0 .. windowStarts - 1
  if (start >= windowStarts) return false;
  const std::size_t lastBlock = windowStarts - kBlock;  // the caller ensures a whole block fits
  std::uint32_t candidates = CandidatesSse2<kTwoMembers>(sets, text + lastBlock, lastOffset);
  candidates &= ~0u << (start - lastBlock);
  return candidates != 0 && CollectVerified(scan, batch, text + lastBlock, candidates);
}

template <bool kTwoMembers>
__attribute__((target("avx2"))) bool ScanBlocksAvx2(const PatternScan& scan, const char* text,
                                                    std::size_t textLength, MatchBatch& batch,
                                                    std::size_t* scanned) {
  constexpr std::size_t kBlock = 32;
  const std::size_t lastOffset = static_cast<std::size_t>(scan.length) - 1;
  const __m256i first0 = _mm256_set1_epi8(static_cast<char>(scan.firstBytes[0]));
  const __m256i first1 = _mm256_set1_epi8(static_cast<char>(scan.firstBytes[1]));
  const __m256i last0 = _mm256_set1_epi8(static_cast<char>(scan.lastBytes[0]));
  const __m256i last1 = _mm256_set1_epi8(static_cast<char>(scan.lastBytes[1]));
  std::size_t start = 0;
  while (start + lastOffset + kBlock <= textLength) {
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
    if (candidates != 0 && CollectVerified(scan, batch, text + start, candidates)) return true;
    start = std::max(start + kBlock, static_cast<std::size_t>(batch.next - text));
  }
  *scanned = start;
  return false;
}

bool CpuHasAvx2() {
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2;
}

// Needs textLength >= length + 15 (one whole 16-byte block of window starts).
bool ScanBlocks(const PatternScan& scan, const char* text, std::size_t textLength,
                MatchBatch& batch) {
  std::size_t wide = 0;
  if (CpuHasAvx2()) {
    const bool full = scan.twoMembers ? ScanBlocksAvx2<true>(scan, text, textLength, batch, &wide)
                                      : ScanBlocksAvx2<false>(scan, text, textLength, batch, &wide);
    if (full) return true;
  }
  // The 16-byte blocks take what is left after the 32-byte ones (short lines, tails).
  return scan.twoMembers ? ScanBlocksSse2<true>(scan, text, textLength, wide, batch)
                         : ScanBlocksSse2<false>(scan, text, textLength, wide, batch);
}

// A text with fewer than 16 window starts: each window compared whole.
void ScanShortText(const PatternScan& scan, const char* text, std::size_t textLength,
                   MatchBatch& batch) {
  const auto m = static_cast<std::size_t>(scan.length);
  const char* end = text + textLength;
  for (const char* window = text; static_cast<std::size_t>(end - window) >= m;) {
    // The same first/last byte sets the vector compare uses.
    const std::uint8_t head = Byte(window);
    const std::uint8_t tail = Byte(window + m - 1);
    const bool ends = (head == scan.firstBytes[0] || head == scan.firstBytes[1]) &&
                      (tail == scan.lastBytes[0] || tail == scan.lastBytes[1]);
    if (!ends || !CandidateMatches(scan, window)) {
      ++window;
      continue;
    }
    batch.matches[batch.count++] = window;
    if (batch.count == batch.capacity) return;
    window += m;
  }
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
  auto add = [&](int member) {
    if (count < 2) members[count] = static_cast<std::uint8_t>(member);
    ++count;
  };
#if QUORVE_VECTOR_SCAN
  // Runs once or twice per replace-all call, which line-by-line mode makes per
  // line: 16 compares instead of 256.
  const __m128i target = _mm_set1_epi8(static_cast<char>(folded));
  for (int block = 0; block < 256; block += 16) {
    const __m128i entries =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(UpperTable.data() + block));
    auto hits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(entries, target)));
    for (; hits != 0; hits &= hits - 1) add(block + __builtin_ctz(hits));
  }
#else
  for (int b = 0; b < 256; ++b) {
    if (UpperTable[b] == folded) add(b);
  }
#endif
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

PatternScan PrepareFoldedScan(const char* pattern, std::int32_t length, const SkipTable& table) {
  PatternScan scan;
  scan.pattern = pattern;
  scan.length = length;
  scan.table = &table;
  scan.foldCase = true;
  if (!QUORVE_VECTOR_SCAN || length <= 0) return scan;
  const int firstCount = FoldClassMembers(Byte(pattern), scan.firstBytes);
  const std::uint8_t last = Byte(pattern + length - 1);
  int lastCount = firstCount;
  if (UpperTable[last] == UpperTable[Byte(pattern)]) {
    scan.lastBytes[0] = scan.firstBytes[0];
    scan.lastBytes[1] = scan.firstBytes[1];
  } else {
    lastCount = FoldClassMembers(last, scan.lastBytes);
  }
  // A class of three or more bytes would need more compares than it saves.
  if (firstCount > 2 || lastCount > 2) return scan;
  if (firstCount == 1) scan.firstBytes[1] = scan.firstBytes[0];
  if (lastCount == 1) scan.lastBytes[1] = scan.lastBytes[0];
  scan.twoMembers = firstCount == 2 || lastCount == 2;
  scan.vectorised = true;
  return scan;
}

std::size_t FindMatches(const PatternScan& scan, const char* text, std::size_t textLength,
                        const char** matches, std::size_t capacity) {
  const auto m = static_cast<std::size_t>(scan.length);
  MatchBatch batch{matches, capacity, 0, text};
  if (capacity == 0) return 0;
#if QUORVE_VECTOR_SCAN
  if (scan.vectorised) {
    if (textLength >= m + 15) {
      ScanBlocks(scan, text, textLength, batch);
    } else {
      ScanShortText(scan, text, textLength, batch);
    }
    return batch.count;
  }
#endif
  const char* from = text;
  const char* end = text + textLength;
  while (batch.count < capacity && static_cast<std::size_t>(end - from) >= m) {
    const auto length = static_cast<std::size_t>(end - from);
    const char* found =
        scan.foldCase ? ScalarSkipSearchNoCase(from, scan.pattern, length, scan.length, *scan.table)
                      : ScalarSkipSearch(from, scan.pattern, length, scan.length, *scan.table);
    if (found == nullptr) break;
    batch.matches[batch.count++] = found;
    from = found + m;
  }
  return batch.count;
}

const char* FindFirst(const PatternScan& scan, const char* text, std::size_t textLength) {
  const char* match = nullptr;
  return FindMatches(scan, text, textLength, &match, 1) == 1 ? match : nullptr;
}

PatternScan PrepareScan(std::string_view search, CaseMode caseMode, SkipTable& table) {
  const auto m = static_cast<std::int32_t>(search.size());
  const PatternScan scan = caseMode == CaseMode::Exact ? PrepareExactScan(search.data(), m, table)
                                                       : PrepareFoldedScan(search.data(), m, table);
  if (scan.vectorised) return scan;
  if (caseMode == CaseMode::Exact) {
    MakeSkipTable(search.data(), m, table);
  } else {
    MakeSkipTableNoCase(search.data(), m, table);
  }
  return scan;
}

PreparedSearch::PreparedSearch(std::string_view search, CaseMode caseMode)
    : scan(PrepareScan(search, caseMode, table)) {}
