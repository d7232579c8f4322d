#include "app/whole_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "faststrings/replace_all.h"
#include "platform/byte_buffer.h"
#include "regex/regexpr.h"
#include "text/file_stream.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Read past the announced size in pieces of this many bytes (a growing file, or a
// special file that reports no size).
constexpr std::size_t kReadPiece = 64 * 1024;

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

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

// Length of the line break that starts at pos (CR LF counts as one break of two).
std::size_t BreakLengthAt(const char* data, std::size_t size, std::size_t pos) {
  return data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n' ? 2 : 1;
}

std::size_t LengthWithCrLfEnds(const char* data, std::size_t size) {
  ForwardBreaks breaks(data, size);
  std::size_t total = 0;
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t brk = breaks.Next(pos);
    total += brk - pos + kCrLf.size();
    if (brk == size) break;
    pos = brk + BreakLengthAt(data, size, brk);
  }
  return total;
}

// Every line end becomes CR LF, working from the back so that the text grows in
// place. Once nothing is left to insert, the front is already right and stays.
void ExpandToCrLf(std::string& text) {
  const std::size_t oldSize = text.size();
  const std::size_t newSize = LengthWithCrLfEnds(text.data(), oldSize);
  if (newSize == oldSize) return;  // every line already ends with CR LF
  text.resize(newSize);
  char* d = text.data();
  BackwardBreaks breaks(d);
  std::size_t read = oldSize;
  std::size_t write = newSize;
  auto putCrLf = [&] {
    write -= 2;
    d[write] = '\r';
    d[write + 1] = '\n';
  };
  auto moveLineEndingAt = [&] {
    std::size_t start = breaks.LineStartBefore(read);
    std::size_t length = read - start;
    write -= length;
    if (write != start) std::memmove(d + write, d + start, length);
    read = start;
  };
  if (oldSize > 0 && !IsLineBreak(d[oldSize - 1])) {
    putCrLf();
    moveLineEndingAt();
  }
  while (write != read) {
    read -= d[read - 1] == '\n' && read >= 2 && d[read - 2] == '\r' ? 2 : 1;
    putCrLf();
    moveLineEndingAt();
  }
}

// The first byte 0 ends the text. A byte 0 right at the start still leaves one
// empty line, which a lone LF stands for.
std::size_t CutAtFirstZero(std::string& text) {
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (!zero) return kNotCut;
  std::size_t offset = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
  if (offset == 0) {
    text.assign(1, '\n');
  } else {
    text.resize(offset);
  }
  return offset;
}

void ReadWholeStream(TFileStream& stream, std::string& text) {
  const std::uint64_t fileSize = stream.Size();
  const std::uint64_t position = stream.Position();
  const std::uint64_t announced = fileSize > position ? fileSize - position : 0;
  if (announced > std::numeric_limits<std::size_t>::max() / 2) throw EOutOfMemory();
  const auto size = static_cast<std::size_t>(announced);
  // Room for the CR of every LF-ended line of ordinary text, so the line ends can
  // be rewritten without moving the text to a new buffer.
  text.clear();
  platform::ReserveBytes(text, size + size / 8 + kReadPiece);
  text.resize(size);
  // One read normally; a short read is continued instead of losing the rest.
  std::size_t got = 0;
  while (got < size) {
    std::size_t n = stream.Read(text.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  text.resize(got);
  for (;;) {
    text.resize(got + kReadPiece);
    std::size_t n = stream.Read(text.data() + got, kReadPiece);
    got += n;
    text.resize(got);
    if (n == 0) break;
  }
  // A failed read must not pass for the end of the file: with -w the shortened
  // text would replace the user's file.
  if (stream.ReadFailure() != 0) throw EReadError("Stream read error");
}

// Gathers small pieces into large writes; large pieces go out straight from
// where they are.
class PieceWriter {
 public:
  explicit PieceWriter(const ByteSink& sink) : sink_(sink) {}

  void Put(std::string_view bytes) {
    if (bytes.size() >= kDirectPiece) {
      Flush();
      sink_(bytes);
      return;
    }
    if (staging_.size() + bytes.size() > kStagingSize) Flush();
    if (staging_.capacity() < kStagingSize) staging_.reserve(kStagingSize);
    staging_.append(bytes);
  }
  void Flush() {
    if (staging_.empty()) return;
    sink_(staging_);
    staging_.clear();
  }

 private:
  static constexpr std::size_t kDirectPiece = 64 * 1024;
  static constexpr std::size_t kStagingSize = 1024 * 1024;
  const ByteSink& sink_;
  std::string staging_;
};

std::size_t WriteFramedLines(const ByteSink& sink, std::string_view header, std::string_view text,
                             std::string_view footer, std::string_view lineEnd);

bool HasLoneCr(std::string_view text) {
  std::size_t pos = 0;
  while (const void* cr = std::memchr(text.data() + pos, '\r', text.size() - pos)) {
    pos = static_cast<std::size_t>(static_cast<const char*>(cr) - text.data()) + 1;
    if (pos == text.size() || text[pos] != '\n') return true;
  }
  return false;
}

}  // namespace

std::size_t ReadFileText(const std::string& fileName, bool cutAtZero, std::string& text) {
  {
    std::unique_ptr<TFileStream> stream = FileStreamOpen(fileName);
    ReadWholeStream(*stream, text);
  }
  return cutAtZero ? CutAtFirstZero(text) : kNotCut;
}

void EndLinesWithCrLf(std::string& text) {
  ExpandToCrLf(text);
}

void SubstituteZeroBytes(std::string& text, char substitute) {
  char* d = text.data();
  const std::size_t size = text.size();
  std::size_t pos = 0;
  while (const void* zero = std::memchr(d + pos, 0, size - pos)) {
    pos = static_cast<std::size_t>(static_cast<const char*>(zero) - d);
    d[pos++] = substitute;
  }
}

std::size_t LoadJoinedText(const std::string& fileName, bool keepZeroBytes, char substitute,
                           std::string& text) {
  std::size_t cut = ReadFileText(fileName, !keepZeroBytes, text);
  EndLinesWithCrLf(text);
  if (keepZeroBytes && substitute != 0) SubstituteZeroBytes(text, substitute);
  return cut;
}

bool PairStaysWithinLines(std::string_view search, std::string_view replace) {
  constexpr std::string_view kLineBytes("\r\n\0", 3);
  return search.find_first_of(kLineBytes) == std::string_view::npos &&
         replace.find_first_of(kLineBytes) == std::string_view::npos;
}

bool LineEndsCanWait(std::string_view text, const std::vector<SearchReplacePair>& pairs) {
  bool replacementsKeepLines = true;
  for (const SearchReplacePair& pair : pairs) {
    if (!PairStaysWithinLines(pair.search, pair.replace)) return false;
    if (pair.replace.empty() && !pair.search.empty()) replacementsKeepLines = false;
  }
  const bool lastLineEnded = text.empty() || IsLineBreak(text.back());
  return replacementsKeepLines || (lastLineEnded && !HasLoneCr(text));
}

void ApplyPair(std::string& text, std::string& spare, std::string_view search,
               std::string_view replace, CaseMode caseMode, SearchKind kind) {
  if (kind == SearchKind::Expression) {
    RegexReplaceInto(spare, search, text, replace, ReplacementKind::Template);
    text.swap(spare);
    return;
  }
  if (search.empty() || text.empty()) return;
  // Not longer: in the text's own buffer. Longer: into the spare buffer, which
  // keeps its capacity from one pair to the next.
  if (replace.size() <= search.size()) {
    ReplaceAllInPlace(text, search, replace, caseMode);
  } else if (ReplaceAllInto(spare, text, search, replace, caseMode)) {
    text.swap(spare);
  }
}

std::size_t WriteLines(const ByteSink& sink, std::string_view text, std::string_view lineEnd) {
  std::size_t cut = kNotCut;
  if (const void* zero = std::memchr(text.data(), 0, text.size())) {
    cut = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
    // A byte 0 right at the start still leaves one empty line.
    text = cut == 0 ? std::string_view("\n") : text.substr(0, cut);
  }
  PieceWriter out(sink);
  const char* d = text.data();
  const std::size_t size = text.size();
  ForwardBreaks breaks(d, size);
  std::size_t runStart = 0;  // bytes from here on are right as they are
  std::size_t pos = 0;
  while (pos < size) {
    const std::size_t brk = breaks.Next(pos);
    if (brk == size) {
      out.Put(text.substr(runStart));
      out.Put(lineEnd);
      runStart = pos = size;
      break;
    }
    const std::size_t breakLength = BreakLengthAt(d, size, brk);
    pos = brk + breakLength;
    if (text.substr(brk, breakLength) == lineEnd) continue;
    out.Put(text.substr(runStart, brk - runStart));
    out.Put(lineEnd);
    runStart = pos;
  }
  out.Put(text.substr(runStart, pos - runStart));
  out.Flush();
  return cut;
}

std::size_t WriteWholeText(TextStream& stream, std::string_view header, std::string_view text,
                           std::string_view footer, std::string_view lineEnd) {
  const ByteSink sink = [&stream](std::string_view bytes) { WriteTextBytes(stream, bytes); };
  std::size_t cut = WriteFramedLines(sink, header, text, footer, lineEnd);
  WriteTextLine(stream, {});
  return cut;
}

std::size_t WriteWholeTextToFile(const std::string& fileName, std::string_view header,
                                 std::string_view text, std::string_view footer,
                                 std::string_view lineEnd) {
  std::unique_ptr<TFileStream> stream = FileStreamCreate(fileName);
  const ByteSink sink = [&stream](std::string_view bytes) { WriteAll(*stream, bytes); };
  std::size_t cut = WriteFramedLines(sink, header, text, footer, lineEnd);
  stream->Commit();
  return cut;
}

namespace {

std::size_t WriteFramedLines(const ByteSink& sink, std::string_view header, std::string_view text,
                             std::string_view footer, std::string_view lineEnd) {
  if (!header.empty()) {
    sink(header);
    sink(lineEnd);
  }
  std::size_t cut = WriteLines(sink, text, lineEnd);
  if (!footer.empty()) {
    sink(footer);
    sink(lineEnd);
  }
  return cut;
}

}  // namespace
