#include "stream/line_ends.h"

#include <algorithm>
#include <cstring>

#include "base/exceptions.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stream {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Finds CR and LF bytes going forward. Each kind is searched with memchr and the
// hit is remembered until the scan passes it, so text with only one kind of line
// break costs one memchr per line.
class ForwardBreaks {
 public:
  ForwardBreaks(const char* data, std::size_t size)
      : data_(data), size_(size), lf_(Find(0, '\n')), cr_(Find(0, '\r')) {}

  // Offset of the first CR or LF at or after pos, or the size when none.
  std::size_t Next(std::size_t pos) {
    if (lf_ < pos) lf_ = Find(pos, '\n');
    if (cr_ < pos) cr_ = Find(pos, '\r');
    return lf_ < cr_ ? lf_ : cr_;
  }

 private:
  std::size_t Find(std::size_t pos, char c) const {
    const void* hit = std::memchr(data_ + pos, c, size_ - pos);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data_) : size_;
  }

  const char* data_;
  std::size_t size_;
  std::size_t lf_;
  std::size_t cr_;
};

const char* LastByteBefore(const char* data, std::size_t end, char c) {
#if defined(__GLIBC__)
  return static_cast<const char*>(memrchr(data, c, end));
#else
  for (std::size_t i = end; i > 0; --i) {
    if (data[i - 1] == c) return data + i - 1;
  }
  return nullptr;
#endif
}

// The same going backward; positions are offsets + 1 so that 0 means "none".
class BackwardBreaks {
 public:
  explicit BackwardBreaks(const char* data) : data_(data) {}

  // Offset just behind the last CR or LF before end, or 0 when there is none.
  std::size_t LineStartBefore(std::size_t end) {
    if (!lfValid_ || lf_ > end) lf_ = FindBefore(end, '\n');
    if (!crValid_ || cr_ > end) cr_ = FindBefore(end, '\r');
    lfValid_ = crValid_ = true;
    return lf_ > cr_ ? lf_ : cr_;
  }

 private:
  std::size_t FindBefore(std::size_t end, char c) const {
    const char* hit = LastByteBefore(data_, end, c);
    return hit ? static_cast<std::size_t>(hit - data_) + 1 : 0;
  }

  const char* data_;
  std::size_t lf_ = 0;
  std::size_t cr_ = 0;
  bool lfValid_ = false;
  bool crValid_ = false;
};

#if defined(__SSE2__)
// The sum of the 16 byte counters.
std::size_t SumOfBytes(__m128i counters) {
  const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
  return static_cast<std::size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
}
#endif

// Line breaks that are not CR LF already: each lone CR and each lone LF.
std::size_t LoneBreakCount(std::string_view text) {
  const auto* d = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t breaks = 0;  // CR and LF bytes
  std::size_t pairs = 0;   // CR LF
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  // Byte counters (a compare gives -1 per hit) summed before any can overflow.
  constexpr std::size_t kRound = 255 * 16;
  // A block starting at i also reads the byte after it: i + 17 <= size.
  while (i + 16 < size) {
    const std::size_t roundEnd = std::min(size - 16, i + kRound);
    __m128i breakCounts = _mm_setzero_si128();
    __m128i pairCounts = _mm_setzero_si128();
    for (; i < roundEnd; i += 16) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
      const __m128i isCr = _mm_cmpeq_epi8(here, cr);
      breakCounts = _mm_sub_epi8(breakCounts, _mm_or_si128(isCr, _mm_cmpeq_epi8(here, lf)));
      pairCounts = _mm_sub_epi8(pairCounts, _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lf)));
    }
    breaks += SumOfBytes(breakCounts);
    pairs += SumOfBytes(pairCounts);
  }
#endif
  for (; i < size; ++i) {
    if (d[i] != '\r' && d[i] != '\n') continue;
    ++breaks;
    if (d[i] == '\r' && i + 1 < size && d[i + 1] == '\n') ++pairs;
  }
  return breaks - 2 * pairs;
}

// Every line break becomes CR LF, working from the back so that the text grows in
// its own buffer. Once nothing is left to insert, the front is already right.
void ExpandToCrLf(std::string& text, std::size_t newSize) {
  const std::size_t oldSize = text.size();
  text.resize(newSize);
  char* d = text.data();
  BackwardBreaks breaks(d);
  std::size_t read = oldSize;
  std::size_t write = newSize;
  auto moveLineEndingAt = [&] {
    const std::size_t start = breaks.LineStartBefore(read);
    const std::size_t length = read - start;
    write -= length;
    if (write != start) std::memmove(d + write, d + start, length);
    read = start;
  };
  moveLineEndingAt();
  while (write != read) {
    read -= d[read - 1] == '\n' && read >= 2 && d[read - 2] == '\r' ? 2 : 1;
    write -= 2;
    d[write] = '\r';
    d[write + 1] = '\n';
    moveLineEndingAt();
  }
}

// Every line break becomes the one byte lineEnd; the text shrinks or keeps its
// size, in place. Only the other kind of break byte needs looking at: with LF as
// the line end, a CR before an LF goes and a lone CR becomes an LF; with CR, an
// LF after a CR goes and a lone LF becomes a CR.
void CompactLineBreaks(std::string& text, char lineEnd) {
  const char other = lineEnd == '\n' ? '\r' : '\n';
  if (std::memchr(text.data(), other, text.size()) == nullptr) return;
  char* d = text.data();
  const std::size_t size = text.size();
  std::size_t read = 0;
  std::size_t write = 0;
  while (const void* hit = std::memchr(d + read, other, size - read)) {
    const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - d);
    // Looked at before the run moves over it.
    const bool joined =
        lineEnd == '\n' ? at + 1 < size && d[at + 1] == '\n' : at > read && d[at - 1] == '\r';
    if (write != read) std::memmove(d + write, d + read, at - read);
    write += at - read;
    if (!joined) d[write++] = lineEnd;
    read = at + 1;
  }
  if (write == read) return;
  std::memmove(d + write, d + read, size - read);
  text.resize(write + size - read);
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of(kCrLf) != std::string_view::npos;
}

}  // namespace

void ConvertLineBreaks(std::string& block, std::string_view lineEnd) {
  if (lineEnd == kCrLf) {
    const std::size_t lone = LoneBreakCount(block);
    if (lone > 0) ExpandToCrLf(block, block.size() + lone);
    return;
  }
  CompactLineBreaks(block, lineEnd.front());
}

std::string_view LineEndStyle::LineEnd() const {
  switch (kind_.load(std::memory_order_acquire)) {
    case Kind::CrLf:
      return kCrLf;
    case Kind::Lf:
      return "\n";
    case Kind::Cr:
      return "\r";
    case Kind::Unknown:
      break;
  }
  throw Exception("Line end needed before it is known");
}

void LineEndStyle::Set(std::string_view lineEnd) {
  const Kind kind = lineEnd == "\n" ? Kind::Lf : lineEnd == "\r" ? Kind::Cr : Kind::CrLf;
  kind_.store(kind, std::memory_order_release);
}

void DetectLineEnds(std::string_view text, LineEndStyle& style) {
  const std::size_t at = text.find_first_of(kCrLf);
  if (at == std::string_view::npos) {
    style.Set(kCrLf);
  } else if (text[at] == '\n') {
    style.Set("\n");
  } else {
    style.Set(text.substr(at, 2) == kCrLf ? kCrLf : "\r");
  }
  style.SetInputEndsWithLineEnd(text.empty() || IsLineBreak(text.back()));
}

void LineEndProbe::Put(std::string& block) {
  if (block.empty()) return;
  sawText_ = true;
  lastIsBreak_ = IsLineBreak(block.back());
  if (!style_.Known()) Look(block);
  if (!style_.Known() && !overflowed_) {
    if (held_.size() + block.size() <= holdLimit_) {
      held_.append(block);
      return;
    }
    overflowed_ = true;
  }
  Release();
  next_.Put(block);
}

void LineEndProbe::Finish() {
  if (!style_.Known()) style_.Set(crAtEnd_ ? "\r" : kCrLf);
  style_.SetInputEndsWithLineEnd(!sawText_ || lastIsBreak_);
  Release();
  next_.Finish();
}

void LineEndProbe::Look(std::string_view block) {
  if (crAtEnd_) {
    style_.Set(block.front() == '\n' ? kCrLf : "\r");
    return;
  }
  const std::size_t at = block.find_first_of(kCrLf);
  if (at == std::string_view::npos) return;
  if (block[at] == '\n') {
    style_.Set("\n");
  } else if (at + 1 < block.size()) {
    style_.Set(block[at + 1] == '\n' ? kCrLf : "\r");
  } else {
    crAtEnd_ = true;
  }
}

void LineEndProbe::Release() {
  if (held_.empty()) return;
  std::string held;
  held.swap(held_);
  next_.Put(held);
}

void LineEndStage::Put(std::string& block) {
  if (pendingCr_) {
    block.insert(block.begin(), '\r');
    pendingCr_ = false;
  }
  if (block.empty()) return;
  sawText_ = true;
  lastIsBreak_ = IsLineBreak(block.back());
  if (block.back() == '\r') {
    pendingCr_ = true;
    block.pop_back();
  }
  if (HasLineBreak(block)) ConvertLineBreaks(block, lineEnd_.LineEnd());
  if (!block.empty()) next_.Put(block);
}

void LineEndStage::Finish() {
  if (pendingCr_ || (sawText_ && !lastIsBreak_)) {
    std::string end(lineEnd_.LineEnd());
    next_.Put(end);
  }
  pendingCr_ = false;
  next_.Finish();
}

}  // namespace stream
