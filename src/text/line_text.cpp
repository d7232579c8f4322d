#include "text/line_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/byte_buffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUORVE_HAS_AVX2_PATH 1
#endif

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Output is gathered into pieces of this size before it is written.
constexpr std::size_t kWritePieceSize = std::size_t{1} << 20;

#if defined(QUORVE_HAS_AVX2_PATH)
bool CpuHasAvx2() {
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2;
}

// Whole 32-byte blocks: the first byte equal to a, b or c, or nullptr with first
// moved to the first byte not looked at (fewer than 32 are left).
__attribute__((target("avx2"))) const char* FindAnyOf3InBlocks(const char*& first, const char* last,
                                                               char a, char b, char c) {
  const __m256i va = _mm256_set1_epi8(a);
  const __m256i vb = _mm256_set1_epi8(b);
  const __m256i vc = _mm256_set1_epi8(c);
  while (last - first >= 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
    const __m256i hits =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, va), _mm256_cmpeq_epi8(v, vb)),
                        _mm256_cmpeq_epi8(v, vc));
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
    if (mask != 0) return first + __builtin_ctz(mask);
    first += 32;
  }
  return nullptr;
}
#endif

}  // namespace

// Line-by-line mode calls this for every line of a file: the wide scan, where the
// processor has it, halves the work of the common one.
const char* FindAnyOf3(const char* first, const char* last, char a, char b, char c) {
#if defined(QUORVE_HAS_AVX2_PATH)
  if (last - first >= 32 && CpuHasAvx2()) {
    if (const char* found = FindAnyOf3InBlocks(first, last, a, b, c)) return found;
  }
#endif
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i vc = _mm_set1_epi8(c);
  while (last - first >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                      _mm_cmpeq_epi8(v, vc));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return first + __builtin_ctz(static_cast<unsigned>(mask));
    first += 16;
  }
#endif
  for (; first < last; ++first) {
    if (*first == a || *first == b || *first == c) return first;
  }
  return last;
}

std::size_t CountEither(const char* first, const char* last, char a, char b) {
  std::size_t count = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i zero = _mm_setzero_si128();
  while (last - first >= 16) {
    // Byte counters overflow after 255 blocks: sum them up before that.
    const std::size_t blocks =
        std::min<std::size_t>(255, static_cast<std::size_t>(last - first) / 16);
    __m128i counters = zero;
    for (std::size_t i = 0; i < blocks; ++i, first += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
      const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb));
      counters = _mm_sub_epi8(counters, hits);
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
  }
#endif
  for (; first < last; ++first) {
    if (*first == a || *first == b) ++count;
  }
  return count;
}

std::string JoinLines(const TStringList& list) {
  const std::int32_t count = list.Count();
  std::size_t total = 0;
  for (std::int32_t i = 0; i < count; ++i) total += list.Strings(i).size() + kCrLf.size();
  std::string text;
  platform::ReserveBytes(text, total);
  for (std::int32_t i = 0; i < count; ++i) {
    text.append(list.Strings(i));
    text.append(kCrLf);
  }
  return text;
}

void SplitIntoLines(TStringList& list, std::string_view text) {
  UpdateScope update(list);
  list.Clear();
  if (text.empty()) return;
  const char* p = text.data();
  const char* const end = p + text.size();
  // Every line ends at a CR or LF (or the end), so this bounds the count from above;
  // capacity that is never touched costs no memory.
  const void* firstZero = std::memchr(p, 0, text.size());
  const char* const counted = firstZero ? static_cast<const char*>(firstZero) : end;
  list.Reserve(CountEither(p, counted, '\n', '\r') + 1);
  for (;;) {
    const char* const stop = FindAnyOf3(p, end, '\0', '\n', '\r');
    list.Add(std::string(p, stop));
    p = stop;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
    if (p == end || *p == '\0') break;
  }
}

void LoadLines(TStringList& list, const std::string& fileName) {
  auto stream = FileStreamOpen(fileName);
  UpdateScope update(list);
  const TFileBytes bytes = ReadRemaining(*stream);
  SplitIntoLines(list, bytes.View());
}

void WriteLinesTo(TFileStream& stream, const TStringList& list, std::string_view separator) {
  const std::int32_t count = list.Count();
  std::size_t total = 0;
  for (std::int32_t i = 0; i < count; ++i) total += list.Strings(i).size() + separator.size();
  std::string piece;
  piece.reserve(std::min(total, kWritePieceSize));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string& line = list.Strings(i);
    if (piece.size() + line.size() + separator.size() > piece.capacity()) {
      WriteAll(stream, piece);
      piece.clear();
    }
    if (line.size() + separator.size() > piece.capacity()) {
      WriteAll(stream, line);  // too large to gather: straight from the list
    } else {
      piece.append(line);
    }
    piece.append(separator);
  }
  WriteAll(stream, piece);
}

void SaveLines(const TStringList& list, const std::string& fileName) {
  auto stream = FileStreamCreate(fileName);
  WriteLinesTo(*stream, list, kCrLf);
  stream->Commit();
}
