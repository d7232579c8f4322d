#include "platform/console.h"

#include "platform/win32/windows_api.h"

#include "platform/terminal_text.h"
#include "platform/win32/console_cells.h"

namespace platform {

namespace {

struct ConsoleState {
  bool started = false;
  bool available = false;  // standard error is a console screen buffer
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::uint16_t width = 0;  // the widest window the console could show
  std::uint16_t startAttributes = 0;
  bool coloured = true;
  bool rowInPlace = false;  // the cursor is at the start of a row that holds text
};

ConsoleState& State() {
  static ConsoleState state;
  return state;
}

COORD At(int column, int row) {
  COORD where;
  where.X = static_cast<SHORT>(column);
  where.Y = static_cast<SHORT>(row);
  return where;
}

// Moving on past the window's last row: the line break goes to the console itself
// (never to standard output, which may be a file being written), and the console
// scrolls.
void BreakLineOnConsole(HANDLE console) {
  DWORD written = 0;
  ::WriteConsoleA(console, "\r\n", 2, &written, nullptr);
}

void MoveToNextRow(HANDLE console, int row, int windowBottom) {
  if (win32::NextRowInsideWindow(row, windowBottom)) {
    ::SetConsoleCursorPosition(console, At(0, row + 1));
  } else {
    BreakLineOnConsole(console);
  }
}

}  // namespace

void ConsoleStartUp() {
  ConsoleState& state = State();
  state.started = true;
  state.handle = ::GetStdHandle(STD_ERROR_HANDLE);
  state.width = static_cast<std::uint16_t>(::GetLargestConsoleWindowSize(state.handle).X);
  CONSOLE_SCREEN_BUFFER_INFO info;
  state.available = state.handle != nullptr && state.handle != INVALID_HANDLE_VALUE &&
                    ::GetConsoleScreenBufferInfo(state.handle, &info);
  state.startAttributes = state.available ? info.wAttributes : 0;
  state.coloured = ColourWanted();
}

bool ConsoleAvailable() {
  if (!State().started) ConsoleStartUp();
  return State().available;
}

// Every console call's result is ignored: a status line never fails a run.
void ConsoleWriteRow(std::string_view text, int colour, AfterRow after) {
  if (!ConsoleAvailable()) return;
  const ConsoleState& state = State();
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(state.handle, &info)) return;
  const int row = info.dwCursorPosition.Y;

  const std::string cells = win32::RowCells(text, state.width);
  DWORD done = 0;
  ::WriteConsoleOutputCharacterA(state.handle, cells.data(), static_cast<DWORD>(cells.size()),
                                 At(0, row), &done);
  ::FillConsoleOutputAttribute(
      state.handle, win32::RowAttribute(colour, state.startAttributes, state.coloured),
      static_cast<DWORD>(win32::ColouredCellCount(cells)), At(0, row), &done);
  State().rowInPlace = after == AfterRow::StayOnRow && !text.empty();
  if (after == AfterRow::StayOnRow) return;
  MoveToNextRow(state.handle, row, info.srWindow.Bottom);
}

void ConsoleFinishRow() {
  ConsoleState& state = State();
  if (!state.rowInPlace) return;
  state.rowInPlace = false;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(state.handle, &info)) return;
  MoveToNextRow(state.handle, info.dwCursorPosition.Y, info.srWindow.Bottom);
}

namespace {

// The console's output code page says which bytes it takes for controls.
TerminalEncoding ConsoleEncoding() {
  const UINT codePage = ::GetConsoleOutputCP();
  if (codePage == CP_UTF8) return Utf8Terminal();
  TerminalEncoding encoding;
  encoding.utf8 = false;
  for (unsigned int byte = 0; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    wchar_t out = 0;
    const int made = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, &out, 1);
    encoding.controlByte[byte] = made == 1 && (out < 0x20 || (out >= 0x7F && out <= 0x9F));
  }
  return encoding;
}

}  // namespace

std::string TextForStream(FileHandle stream, std::string_view text) {
  DWORD mode = 0;
  if (stream == kInvalidHandle || !::GetConsoleMode(reinterpret_cast<HANDLE>(stream), &mode)) {
    return std::string(text);
  }
  return TerminalSafeText(text, ConsoleEncoding(), TabRule::Keep);
}

bool StandardOutputTakesColour() {
  if (!ColourWanted()) return false;
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output == INVALID_HANDLE_VALUE || !::GetConsoleMode(output, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  // Consoles older than Windows 10 refuse the mode: no colour there.
  return ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace platform
