#include "platform/posix/console_bytes.h"

namespace platform::posix {

namespace {

constexpr char kPlaceholder = '?';

bool IsC0OrDelete(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F;
}
bool IsC1(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F;
}
bool IsUtf8Continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Cuts the text after the given number of columns, never inside a UTF-8 sequence.
std::string_view CutToColumns(std::string_view text, std::size_t columns, bool utf8) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (utf8 && IsUtf8Continuation(byte)) continue;
    if (used == columns) return text.substr(0, i);
    ++used;
  }
  return text;
}

std::size_t ColumnCount(std::string_view text, bool utf8) {
  std::size_t columns = 0;
  for (char c : text) {
    if (!(utf8 && IsUtf8Continuation(static_cast<unsigned char>(c)))) ++columns;
  }
  return columns;
}

// What is left of the row after the text: cleared by a control sequence, or by
// blanks where the terminal knows none (nothing to do when its width is unknown).
std::string RowRestClearing(std::string_view shown, const ConsoleRowStyle& style) {
  if (!style.dumb) return "\x1b[K";
  const std::size_t used = ColumnCount(shown, style.utf8);
  const std::size_t room = style.width > 0 ? static_cast<std::size_t>(style.width - 1) : 0;
  return std::string(room > used ? room - used : 0, ' ');
}

}  // namespace

int AnsiForeground(int colour) {
  static constexpr int kAnsi[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  return kAnsi[colour & 0x0F];
}

std::string VisibleText(std::string_view text, bool utf8) {
  std::string visible;
  visible.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (IsC0OrDelete(byte) || (!utf8 && IsC1(byte))) {
      visible += kPlaceholder;
    } else if (utf8 && byte == 0xC2 && i + 1 < text.size() &&
               IsC1(static_cast<unsigned char>(text[i + 1]))) {
      visible += kPlaceholder;  // a C1 control spelled in UTF-8
      ++i;
    } else {
      visible += static_cast<char>(byte);
    }
  }
  return visible;
}

std::string ConsoleRowBytes(std::string_view text, const ConsoleRowStyle& style) {
  std::string visible = VisibleText(text, style.utf8);
  std::string_view shown = visible;
  if (!style.advance && style.width > 0) {
    shown = CutToColumns(shown, static_cast<std::size_t>(style.width - 1), style.utf8);
  }
  const bool coloured = style.coloured && !style.dumb;
  std::string bytes;
  bytes.reserve(shown.size() + 24);
  bytes += '\r';
  if (coloured) bytes += "\x1b[" + std::to_string(AnsiForeground(style.colour)) + 'm';
  bytes += shown;
  bytes += RowRestClearing(shown, style);
  if (coloured) bytes += "\x1b[0m";
  bytes += style.advance ? '\n' : '\r';
  return bytes;
}

}  // namespace platform::posix
