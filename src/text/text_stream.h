// Text streams: a file or a standard handle read or written line by line with CR LF
// line ends. They never raise: a failure leaves a pending code (PendingStreamError)
// that only CheckStreamError and the failure report look at.
//
// Reading hands out whole physical lines: the text of a line that lies in the
// buffer is passed on as a view of the buffer (no copy), together with the bytes
// buffered after it, so a caller may search many lines at once. A byte 26 ends the
// text of its line, and the rest of that physical line is dropped; it never ends
// the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

enum class TextStreamMode { Closed, Reading, Writing };
enum class TextStreamRole { Ordinary, Input, Output, Error };

struct TextStream {
  std::string name;  // empty: standard input / output / error
  TextStreamMode mode = TextStreamMode::Closed;
  TextStreamRole role = TextStreamRole::Ordinary;
  platform::FileHandle handle = platform::kInvalidHandle;
  bool onStandardHandle = false;
  // A handle the stream writes through but does not own (see BindTextHandle).
  platform::FileHandle lentHandle = platform::kInvalidHandle;
  bool lineFlush = false;    // target is a character device
  std::vector<char> buffer;  // large: the block size is not observable
  std::size_t position = 0;  // reading: next unread byte; writing: bytes waiting
  std::size_t end = 0;       // reading: end of fetched bytes
  bool atEndOfData = false;  // reading: the end of the data has been met
  // reading: how often the buffered bytes were moved or replaced; a view of the
  // buffer taken at another count no longer shows what it showed.
  std::uint64_t fills = 0;
};

// What ended a physical line: nothing (the end of the data), LF, CR LF or a lone CR.
enum class LineEnd : std::uint8_t { None, Lf, CrLf, Cr };
// Whether a CR that no LF follows ends a line, or is dropped from the line's text.
enum class LoneCr : std::uint8_t { Dropped, EndsLine };

struct TextLine {
  // The line's text (never a CR, LF or 26); valid until the stream is read again.
  std::string_view text;
  // When the text lies in the stream's buffer: the buffered bytes from its start on
  // (the text is their beginning); otherwise empty.
  std::string_view buffered;
  LineEnd end = LineEnd::None;
  // Bytes of the physical line are missing from the text: lone CRs, or a byte 26
  // and everything after it up to the line end.
  bool cut = false;
};

// The process streams. OutputText opens itself on standard output at its first write.
TextStream& InputText();
TextStream& OutputText();
TextStream& ErrorText();

// Pending failure code of this thread, 0 when none.
std::int32_t& PendingStreamError();
// The pending code, cleared (0 when none).
std::int32_t TakePendingStreamError();

// Sets the pending code aside while an operation runs whose own failure must be
// seen alone (an open about to be reported, the logger's own writes, the clean-up
// after a failure), and puts it back at the end of the scope: the earlier failure
// came first and belongs to the report. A code the operation leaves and nobody
// takes is dropped then.
class PendingStreamErrorSetAside {
 public:
  PendingStreamErrorSetAside();
  ~PendingStreamErrorSetAside();
  PendingStreamErrorSetAside(const PendingStreamErrorSetAside&) = delete;
  PendingStreamErrorSetAside& operator=(const PendingStreamErrorSetAside&) = delete;

  // The code the operation left (0 when none), cleared.
  std::int32_t TakeOperationError();

 private:
  std::int32_t earlier_;
};
// Message of the I/O failure table for a code.
std::string IoErrorMessage(std::int32_t code);

void BindTextFile(TextStream& stream, std::string_view name);
// Binds the stream to an open handle (a replacement's new file, which may have no
// name): opening uses it, closing leaves it open for its owner.
void BindTextHandle(TextStream& stream, platform::FileHandle handle);
void OpenTextRead(TextStream& stream);
void OpenTextWrite(TextStream& stream);
void OpenTextAppend(TextStream& stream);

// The next physical line and what ended it. At the end of the data (or after a
// failed read) the text is empty and the end None. spare holds the text when it
// cannot be a view of the buffer (a line longer than the buffer or one with bytes
// cut out of it); its capacity is reused.
void ReadPhysicalLine(TextStream& stream, std::string& spare, LoneCr loneCr, TextLine& line);
// Named by the design; the tool reads with ReadPhysicalLine. The text of the next
// line (a lone CR dropped), its line end left for SkipLineEnd; a byte 26 ends the
// text and is consumed.
std::string ReadTextLine(TextStream& stream);
// The same into a caller's buffer, reusing its capacity.
void ReadTextLineInto(TextStream& stream, std::string& line);
// Consumes the line end after ReadTextLine, and after a byte 26 the rest of that
// physical line with it.
void SkipLineEnd(TextStream& stream);
// True when no byte is left to read (after a failed read too).
bool AtEndOfText(TextStream& stream);
// The bytes fetched but not read yet, for a caller that takes many lines at once;
// ConsumeText then marks the first count of them as read.
std::string_view UnreadText(const TextStream& stream);
void ConsumeText(TextStream& stream, std::size_t count);
void WriteTextLine(TextStream& stream, std::string_view text);
// The text and then lineEnd (WriteTextLine's is CR LF).
void WriteTextLineEndingWith(TextStream& stream, std::string_view text, std::string_view lineEnd);
// The text without the CR LF (a large text goes out without being copied).
void WriteTextBytes(TextStream& stream, std::string_view text);
void FlushText(TextStream& stream);
void CloseText(TextStream& stream);
// Raises EInOutError with the pending code's message, clearing it.
void CheckStreamError();

// At process end: InputText, OutputText and the error stream, in this order.
void CloseProcessStreams();
