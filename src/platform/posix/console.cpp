#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/console_bytes.h"
#include "platform/posix/locale_setup.h"
#include "platform/terminal_text.h"

namespace platform {

namespace {

struct ConsoleState {
  bool started = false;
  bool available = false;  // standard error is a terminal
  bool utf8 = true;
  bool coloured = true;
  bool dumb = false;
  bool rowInPlace = false;  // the cursor is at the start of a row that holds text
};

ConsoleState& State() {
  static ConsoleState state;
  return state;
}

int TerminalColumns() {
  struct winsize size = {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

// Status lines never fail a run, and their failures must not replace the reason of
// a file failure that is about to be reported.
void WriteAllIgnoringFailure(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::write(STDERR_FILENO, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

}  // namespace

void ConsoleStartUp() {
  ConsoleState& state = State();
  state.started = true;
  state.available = ::isatty(STDERR_FILENO) == 1;
  state.utf8 = posix::CodeSetIsUtf8();
  state.coloured = ColourWanted();
  state.dumb = TerminalIsDumb();
}

bool ConsoleAvailable() {
  if (!State().started) ConsoleStartUp();
  return State().available;
}

void ConsoleWriteRow(std::string_view text, int colour, AfterRow after) {
  if (!ConsoleAvailable()) return;
  posix::ConsoleRowStyle style;
  style.colour = colour;
  style.advance = after == AfterRow::NextRow;
  style.utf8 = State().utf8;
  style.coloured = State().coloured;
  style.dumb = State().dumb;
  // The width cuts a row that stays in place, and tells a dumb terminal's rows how
  // many blanks clear them.
  style.width = style.advance && !style.dumb ? 0 : TerminalColumns();
  std::string bytes = posix::ConsoleRowBytes(text, style);
  WriteAllIgnoringFailure(bytes);
  State().rowInPlace = !style.advance && !text.empty();
}

void ConsoleFinishRow() {
  if (!State().rowInPlace) return;
  State().rowInPlace = false;
  WriteAllIgnoringFailure("\n");
}

std::string TextForStream(FileHandle stream, std::string_view text) {
  if (stream == kInvalidHandle || ::isatty(static_cast<int>(stream)) != 1) return std::string(text);
  const TerminalEncoding encoding = posix::CodeSetIsUtf8() ? Utf8Terminal() : Iso8859Terminal();
  return TerminalSafeText(text, encoding, TabRule::Keep);
}

bool StandardOutputTakesColour() {
  return ::isatty(STDOUT_FILENO) == 1 && ColourWanted();
}

}  // namespace platform
