#include "text/text_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/exceptions.h"
#include "text/line_text.h"

namespace {

// Large enough that a line-by-line run over a big file makes few system calls.
constexpr std::size_t kTextBufferSize = std::size_t{64} << 10;
constexpr char kLf = '\n';
constexpr char kCr = '\r';
// Ends the text of its line; the rest of that physical line is dropped.
constexpr char kLineCutByte = 26;
constexpr char kAppendCutByte = 14;
constexpr std::size_t kAppendScanSize = 128;
constexpr std::string_view kCrLf = "\r\n";

constexpr std::int32_t kNotOpen = 103;
constexpr std::int32_t kNotOpenForInput = 104;
constexpr std::int32_t kNotOpenForOutput = 105;
// A standard handle the process does not have (the platform's "invalid handle").
constexpr std::int32_t kNoStandardHandle = 6;

void StoreFailure(std::int32_t code) {
  PendingStreamError() = code;
}

TextStream MakeProcessStream(TextStreamRole role) {
  TextStream stream;
  stream.role = role;
  return stream;
}

void ResetBuffer(TextStream& stream) {
  if (stream.buffer.size() != kTextBufferSize) stream.buffer.resize(kTextBufferSize);
  stream.position = 0;
  stream.end = 0;
  stream.atEndOfData = false;
  ++stream.fills;
}

void CloseIfOpen(TextStream& stream) {
  if (stream.mode != TextStreamMode::Closed) CloseText(stream);
}

platform::FileHandle StandardHandleFor(const TextStream& stream, bool forWriting) {
  if (!forWriting) return platform::StandardInput();
  return stream.role == TextStreamRole::Error ? platform::StandardError()
                                              : platform::StandardOutput();
}

// The handle for the stream's name (a standard handle when it is empty), or false
// and a stored failure code.
bool AcquireHandle(TextStream& stream, bool forWriting, bool forUpdate,
                   platform::FileHandle& handle) {
  if (stream.lentHandle != platform::kInvalidHandle) {
    handle = stream.lentHandle;
    stream.onStandardHandle = false;
    return true;
  }
  if (stream.name.empty()) {
    handle = StandardHandleFor(stream, forWriting);
    if (handle == platform::kInvalidHandle) {
      StoreFailure(kNoStandardHandle);
      return false;
    }
    stream.onStandardHandle = true;
    return true;
  }
  platform::ErrorCode code = 0;
  if (!forWriting) {
    code = platform::OpenForReading(stream.name, handle);
  } else if (forUpdate) {
    code = platform::OpenForUpdate(stream.name, handle);
  } else {
    code = platform::CreateForWriting(stream.name, handle);
  }
  if (code != 0) {
    StoreFailure(code);
    return false;
  }
  stream.onStandardHandle = false;
  return true;
}

// Neither a standard handle nor a lent one is the stream's to close.
bool OwnsHandle(const TextStream& stream) {
  return !stream.onStandardHandle && stream.lentHandle == platform::kInvalidHandle;
}

void ReleaseHandle(const TextStream& stream, platform::FileHandle handle) {
  if (OwnsHandle(stream)) platform::CloseFileHandle(handle);
}

// Removes the first byte 14 among the file's last bytes and everything after it,
// then positions at the end. 0, or the failing step's code.
platform::ErrorCode CutAtAppendMark(platform::FileHandle handle) {
  std::uint64_t size = 0;
  if (platform::ErrorCode code = platform::FileSizeOf(handle, size)) return code;
  const std::uint64_t tailSize = std::min<std::uint64_t>(size, kAppendScanSize);
  const std::uint64_t tailStart = size - tailSize;
  std::uint64_t reached = 0;
  if (tailSize > 0) {
    if (platform::ErrorCode code = platform::SeekTo(handle, static_cast<std::int64_t>(tailStart),
                                                    platform::SeekOrigin::Begin, reached)) {
      return code;
    }
    char tail[kAppendScanSize];
    std::size_t got = 0;
    if (platform::ErrorCode code = platform::ReadBytes(handle, tail, tailSize, got)) return code;
    const char* mark = std::find(tail, tail + got, kAppendCutByte);
    if (mark != tail + got) {
      const auto cutAt =
          static_cast<std::int64_t>(tailStart + static_cast<std::uint64_t>(mark - tail));
      if (platform::ErrorCode code =
              platform::SeekTo(handle, cutAt, platform::SeekOrigin::Begin, reached)) {
        return code;
      }
      if (platform::ErrorCode code = platform::TruncateAtPosition(handle)) return code;
    }
  }
  return platform::SeekTo(handle, 0, platform::SeekOrigin::End, reached);
}

void OpenForOutput(TextStream& stream, bool append) {
  CloseIfOpen(stream);
  platform::FileHandle handle = platform::kInvalidHandle;
  if (!AcquireHandle(stream, true, append, handle)) return;
  const platform::HandleType type = platform::TypeOfHandle(handle);
  if (type == platform::HandleType::Unknown) {
    ReleaseHandle(stream, handle);
    StoreFailure(kNotOpenForOutput);
    return;
  }
  if (append && type == platform::HandleType::Disk) {
    if (platform::ErrorCode code = CutAtAppendMark(handle)) {
      ReleaseHandle(stream, handle);
      StoreFailure(code);
      return;
    }
  }
  ResetBuffer(stream);
  stream.handle = handle;
  stream.lineFlush = type == platform::HandleType::Character;
  stream.mode = TextStreamMode::Writing;
}

bool EnsureReading(TextStream& stream) {
  if (stream.mode == TextStreamMode::Reading) return true;
  if (stream.role == TextStreamRole::Input) OpenTextRead(stream);
  if (stream.mode == TextStreamMode::Reading) return true;
  StoreFailure(kNotOpenForInput);
  return false;
}

bool EnsureWriting(TextStream& stream) {
  if (stream.mode == TextStreamMode::Writing) return true;
  if (stream.role == TextStreamRole::Output || stream.role == TextStreamRole::Error) {
    OpenTextWrite(stream);
  }
  if (stream.mode == TextStreamMode::Writing) return true;
  StoreFailure(kNotOpenForOutput);
  return false;
}

// Moves the unconsumed bytes to the front and reads more behind them. False at the
// end of the data (which stays the end from then on) and after a failed read
// (stored; the next fetch reads again).
bool Refill(TextStream& stream) {
  if (stream.atEndOfData) return false;
  const std::size_t kept = stream.end - stream.position;
  char* const base = stream.buffer.data();
  if (kept > 0 && stream.position > 0) std::memmove(base, base + stream.position, kept);
  ++stream.fills;  // the bytes moved, whether or not more come
  stream.position = 0;
  stream.end = kept;
  std::size_t got = 0;
  const platform::ErrorCode code =
      platform::ReadBytes(stream.handle, base + kept, stream.buffer.size() - kept, got);
  if (code != 0) {
    StoreFailure(code);
    return false;
  }
  if (got == 0) {
    stream.atEndOfData = true;
    return false;
  }
  stream.end += got;
  return true;
}

// The byte after a CR at the read position, fetching it when needed; false when
// the data ends right after the CR.
bool ByteAfterCr(TextStream& stream, char& next) {
  if (stream.position + 1 == stream.end && !Refill(stream)) return false;
  if (stream.position + 1 == stream.end) return false;
  next = stream.buffer[stream.position + 1];
  return true;
}

// At an LF or a CR: consumes the line end that starts there and says which it is.
// A lone CR that does not end lines is consumed all the same, and None returned.
LineEnd TakeLineEnd(TextStream& stream, LoneCr loneCr) {
  if (stream.buffer[stream.position] == kLf) {
    ++stream.position;
    return LineEnd::Lf;
  }
  char next = 0;
  const bool haveNext = ByteAfterCr(stream, next);
  ++stream.position;
  if (haveNext && next == kLf) {
    ++stream.position;
    return LineEnd::CrLf;
  }
  return loneCr == LoneCr::EndsLine ? LineEnd::Cr : LineEnd::None;
}

// Drops what is left of the physical line (bytes 26 included) and consumes its
// line end, which it returns.
LineEnd SkipRestOfLine(TextStream& stream, LoneCr loneCr) {
  for (;;) {
    if (stream.position == stream.end && !Refill(stream)) return LineEnd::None;
    const char* const base = stream.buffer.data();
    const char* const stop = FindAnyOf3(base + stream.position, base + stream.end, kLf, kCr, kLf);
    stream.position = static_cast<std::size_t>(stop - base);
    if (stream.position == stream.end) continue;
    const LineEnd end = TakeLineEnd(stream, loneCr);
    if (end != LineEnd::None) return end;
  }
}

// Appends a line's text to `text`, piece by piece, up to its line end, which
// stays unread; a byte 26 ends the text and is consumed. True when bytes were cut
// out (a dropped lone CR, the 26).
bool GatherLineText(TextStream& stream, std::string& text, LoneCr loneCr) {
  bool cut = false;
  for (;;) {
    if (stream.position == stream.end && !Refill(stream)) return cut;
    const char* const base = stream.buffer.data();
    const char* const from = base + stream.position;
    const char* const stop = FindAnyOf3(from, base + stream.end, kLf, kCr, kLineCutByte);
    text.append(from, stop);
    stream.position = static_cast<std::size_t>(stop - base);
    if (stream.position == stream.end) continue;
    if (*stop == kLineCutByte) {
      ++stream.position;
      return true;
    }
    if (*stop == kLf) return cut;
    char next = 0;
    if (ByteAfterCr(stream, next) && next == kLf) return cut;  // CR LF
    if (loneCr == LoneCr::EndsLine) return cut;
    ++stream.position;
    cut = true;
  }
}

// Any line: its text gathered in spare.
void ReadLineIntoSpare(TextStream& stream, std::string& spare, LoneCr loneCr, TextLine& line) {
  spare.clear();
  line = TextLine{};
  line.cut = GatherLineText(stream, spare, loneCr);
  line.end = SkipRestOfLine(stream, loneCr);
  line.text = spare;
}

enum class BufferedLine { Taken, NotPlain };

// The common line: its text and line end lie in the buffered bytes (after more are
// fetched behind them, when needed and there is room) with nothing to cut out. The
// text then stays where it is. NotPlain consumes nothing.
BufferedLine TakeBufferedLine(TextStream& stream, LoneCr loneCr, TextLine& line) {
  std::size_t scanned = 0;  // bytes after the line's start known to hold no special byte
  for (;;) {
    const char* const base = stream.buffer.data();
    const char* const from = base + stream.position;
    const char* const last = base + stream.end;
    const char* const stop = FindAnyOf3(from + scanned, last, kLf, kCr, kLineCutByte);
    scanned = static_cast<std::size_t>(stop - from);
    // A CR as the last buffered byte: what it is depends on the byte after it.
    if (stop != last && !(*stop == kCr && stop + 1 == last)) {
      std::size_t endLength = 1;
      if (*stop == kLf) {
        line.end = LineEnd::Lf;
      } else if (*stop == kLineCutByte) {
        return BufferedLine::NotPlain;
      } else if (stop[1] == kLf) {
        line.end = LineEnd::CrLf;
        endLength = 2;
      } else if (loneCr == LoneCr::EndsLine) {
        line.end = LineEnd::Cr;
      } else {
        return BufferedLine::NotPlain;
      }
      line.text = std::string_view(from, scanned);
      line.buffered = std::string_view(from, static_cast<std::size_t>(last - from));
      line.cut = false;
      stream.position += scanned + endLength;
      return BufferedLine::Taken;
    }
    if (stream.end - stream.position == stream.buffer.size()) return BufferedLine::NotPlain;
    // Refilling moves the line's bytes to the front of the buffer.
    if (Refill(stream)) continue;
    // A failed read, or a lone CR just before the end, is left to the general reader.
    if (!stream.atEndOfData || scanned != stream.end - stream.position) {
      return BufferedLine::NotPlain;
    }
    // The last line, without a line end (empty at the end of the data).
    line.text = std::string_view(stream.buffer.data() + stream.position, scanned);
    line.buffered = line.text;
    line.end = LineEnd::None;
    line.cut = false;
    stream.position = stream.end;
    return BufferedLine::Taken;
  }
}

bool FlushBuffer(TextStream& stream) {
  if (stream.position == 0) return true;
  std::size_t written = 0;
  const platform::ErrorCode code =
      platform::WriteBytes(stream.handle, stream.buffer.data(), stream.position, written);
  stream.position = 0;
  if (code != 0) {
    StoreFailure(code);
    return false;
  }
  return true;
}

void PutBytes(TextStream& stream, std::string_view bytes) {
  if (bytes.empty()) return;  // an empty view may carry a null pointer, which memcpy must not see
  const std::size_t room = stream.buffer.size() - stream.position;
  if (bytes.size() <= room) {
    std::memcpy(stream.buffer.data() + stream.position, bytes.data(), bytes.size());
    stream.position += bytes.size();
    return;
  }
  if (!FlushBuffer(stream)) return;  // a failed write drops the rest of the text
  if (bytes.size() >= stream.buffer.size()) {
    // Large texts go out from the caller's memory rather than through the buffer.
    std::size_t written = 0;
    const platform::ErrorCode code =
        platform::WriteBytes(stream.handle, bytes.data(), bytes.size(), written);
    if (code != 0) StoreFailure(code);
    return;
  }
  std::memcpy(stream.buffer.data(), bytes.data(), bytes.size());
  stream.position = bytes.size();
}

}  // namespace

TextStream& InputText() {
  static TextStream stream = MakeProcessStream(TextStreamRole::Input);
  return stream;
}

TextStream& OutputText() {
  static TextStream stream = MakeProcessStream(TextStreamRole::Output);
  return stream;
}

TextStream& ErrorText() {
  static TextStream stream = MakeProcessStream(TextStreamRole::Error);
  return stream;
}

std::int32_t& PendingStreamError() {
  thread_local std::int32_t code = 0;
  return code;
}

std::int32_t TakePendingStreamError() {
  return std::exchange(PendingStreamError(), 0);
}

PendingStreamErrorSetAside::PendingStreamErrorSetAside() : earlier_(TakePendingStreamError()) {}

PendingStreamErrorSetAside::~PendingStreamErrorSetAside() {
  PendingStreamError() = earlier_;
}

std::int32_t PendingStreamErrorSetAside::TakeOperationError() {
  return TakePendingStreamError();
}

std::string IoErrorMessage(std::int32_t code) {
  static constexpr std::pair<platform::ErrorCode, std::string_view> kMessages[] = {
      {platform::kFileNotFound, "File not found"},
      {platform::kPathNotFound, "Invalid filename"},
      {platform::kTooManyOpenFiles, "Too many open files"},
      {platform::kAccessDenied, "File access denied"},
      {platform::kReadBeyondEnd, "Read beyond end of file"},
      {platform::kDiskFull, "Disk full"},
      {platform::kInvalidNumericInput, "Invalid numeric input"},
  };
  for (const auto& [known, message] : kMessages) {
    if (code == known) return std::string(message);
  }
  return "I/O error " + std::to_string(code);
}

void BindTextFile(TextStream& stream, std::string_view name) {
  // A stream still open is let go without losing what waits in its buffer.
  if (stream.mode == TextStreamMode::Writing) FlushBuffer(stream);
  if (stream.mode != TextStreamMode::Closed && OwnsHandle(stream)) {
    if (platform::ErrorCode code = platform::CloseFileHandle(stream.handle)) StoreFailure(code);
  }
  stream.name.assign(name);
  stream.lentHandle = platform::kInvalidHandle;
  stream.mode = TextStreamMode::Closed;
  stream.handle = platform::kInvalidHandle;
  stream.onStandardHandle = false;
  stream.lineFlush = false;
  stream.position = 0;
  stream.end = 0;
  stream.atEndOfData = false;
}

void BindTextHandle(TextStream& stream, platform::FileHandle handle) {
  BindTextFile(stream, "");
  stream.lentHandle = handle;
}

void OpenTextRead(TextStream& stream) {
  CloseIfOpen(stream);
  platform::FileHandle handle = platform::kInvalidHandle;
  if (!AcquireHandle(stream, false, false, handle)) return;
  ResetBuffer(stream);
  stream.handle = handle;
  stream.lineFlush = false;
  stream.mode = TextStreamMode::Reading;
}

void OpenTextWrite(TextStream& stream) {
  OpenForOutput(stream, false);
}

void OpenTextAppend(TextStream& stream) {
  OpenForOutput(stream, true);
}

std::string ReadTextLine(TextStream& stream) {
  std::string line;
  ReadTextLineInto(stream, line);
  return line;
}

void ReadTextLineInto(TextStream& stream, std::string& line) {
  line.clear();
  if (EnsureReading(stream)) GatherLineText(stream, line, LoneCr::Dropped);
}

void SkipLineEnd(TextStream& stream) {
  if (EnsureReading(stream)) SkipRestOfLine(stream, LoneCr::Dropped);
}

void ReadPhysicalLine(TextStream& stream, std::string& spare, LoneCr loneCr, TextLine& line) {
  if (!EnsureReading(stream)) {
    line = TextLine{};
    return;
  }
  if (TakeBufferedLine(stream, loneCr, line) == BufferedLine::Taken) return;
  ReadLineIntoSpare(stream, spare, loneCr, line);
}

bool AtEndOfText(TextStream& stream) {
  if (!EnsureReading(stream)) return true;
  return stream.position == stream.end && !Refill(stream);
}

std::string_view UnreadText(const TextStream& stream) {
  if (stream.mode != TextStreamMode::Reading) return {};
  return {stream.buffer.data() + stream.position, stream.end - stream.position};
}

void ConsumeText(TextStream& stream, std::size_t count) {
  stream.position += std::min(count, stream.end - stream.position);
}

void WriteTextLine(TextStream& stream, std::string_view text) {
  WriteTextLineEndingWith(stream, text, kCrLf);
}

void WriteTextLineEndingWith(TextStream& stream, std::string_view text, std::string_view lineEnd) {
  // The common case, once per line of a large file: both fit behind the waiting bytes.
  const std::size_t size = text.size() + lineEnd.size();
  if (stream.mode == TextStreamMode::Writing && !stream.lineFlush &&
      size <= stream.buffer.size() - stream.position) {
    char* const to = stream.buffer.data() + stream.position;
    // An empty view may carry a null pointer, which memcpy must not see.
    if (!text.empty()) std::memcpy(to, text.data(), text.size());
    if (!lineEnd.empty()) std::memcpy(to + text.size(), lineEnd.data(), lineEnd.size());
    stream.position += size;
    return;
  }
  if (!EnsureWriting(stream)) return;
  PutBytes(stream, text);
  if (!EnsureWriting(stream)) return;
  PutBytes(stream, lineEnd);
  if (stream.lineFlush) FlushBuffer(stream);
}

void WriteTextBytes(TextStream& stream, std::string_view text) {
  if (!EnsureWriting(stream)) return;
  PutBytes(stream, text);
  if (stream.lineFlush) FlushBuffer(stream);
}

void FlushText(TextStream& stream) {
  switch (stream.mode) {
    case TextStreamMode::Writing:
      FlushBuffer(stream);
      return;
    case TextStreamMode::Reading:
      return;
    case TextStreamMode::Closed:
      if (stream.role != TextStreamRole::Output && stream.role != TextStreamRole::Error) {
        StoreFailure(kNotOpen);
      }
      return;
  }
}

void CloseText(TextStream& stream) {
  switch (stream.mode) {
    case TextStreamMode::Closed:
      if (stream.role != TextStreamRole::Input) StoreFailure(kNotOpen);
      return;
    case TextStreamMode::Writing:
      // A stream whose last bytes could not be written stays open, its failure pending.
      if (!FlushBuffer(stream) || stream.onStandardHandle) return;
      break;
    case TextStreamMode::Reading:
      stream.position = 0;
      stream.end = 0;
      stream.atEndOfData = false;
      break;
  }
  const platform::FileHandle handle = stream.handle;
  const bool owned = OwnsHandle(stream);
  stream.handle = platform::kInvalidHandle;
  stream.mode = TextStreamMode::Closed;
  stream.onStandardHandle = false;
  if (!owned) return;
  if (platform::ErrorCode code = platform::CloseFileHandle(handle)) StoreFailure(code);
}

void CheckStreamError() {
  const std::int32_t code = TakePendingStreamError();
  if (code == 0) return;
  throw EInOutError(IoErrorMessage(code), code);
}

void CloseProcessStreams() {
  CloseText(InputText());
  CloseText(OutputText());
  CloseText(ErrorText());
}
