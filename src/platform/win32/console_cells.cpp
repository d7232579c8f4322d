#include "platform/win32/console_cells.h"

namespace platform::win32 {

std::string RowCells(std::string_view text, std::uint16_t width) {
  std::string cells(text);
  if (text.size() <= width) cells.append(width - text.size() + 1, ' ');
  cells.push_back('\0');
  return cells;
}

std::size_t ColouredCellCount(std::string_view cells) {
  return cells.empty() ? 0 : cells.size() - 1;
}

std::uint16_t RowAttribute(int colour, std::uint16_t startAttributes, bool coloured) {
  if (!coloured) return startAttributes;
  return static_cast<std::uint16_t>((colour & 0x0F) | (startAttributes & 0xF0));
}

bool NextRowInsideWindow(int cursorRow, int windowBottom) {
  return cursorRow < windowBottom;
}

}  // namespace platform::win32
