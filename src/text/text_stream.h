// Text streams: a file or a standard handle read or written line by line with CR LF
// line ends. They never raise: a failure leaves a pending code (PendingStreamError)
// that only CheckStreamError and the failure report look at.
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
  bool lineFlush = false;    // target is a character device
  std::vector<char> buffer;  // large: the block size is not observable
  std::size_t position = 0;  // reading: next unread byte; writing: bytes waiting
  std::size_t end = 0;       // reading: end of fetched bytes
  bool atEndOfData = false;  // reading: the end of the data (a byte 26) has been met
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
void OpenTextRead(TextStream& stream);
void OpenTextWrite(TextStream& stream);
void OpenTextAppend(TextStream& stream);
// Named by the design; the tool itself reads with ReadTextLineInto.
std::string ReadTextLine(TextStream& stream);
// The same into a caller's buffer, reusing its capacity (no allocation per line).
void ReadTextLineInto(TextStream& stream, std::string& line);
void SkipLineEnd(TextStream& stream);
bool AtEndOfText(TextStream& stream);
void WriteTextLine(TextStream& stream, std::string_view text);
// The text without the CR LF (a large text goes out without being copied).
void WriteTextBytes(TextStream& stream, std::string_view text);
void FlushText(TextStream& stream);
void CloseText(TextStream& stream);
// Raises EInOutError with the pending code's message, clearing it.
void CheckStreamError();

// At process end: InputText, OutputText and the error stream, in this order.
void CloseProcessStreams();
