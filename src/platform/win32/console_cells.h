// What one status row puts into the cells of the console screen buffer. Pure, so
// the exact cells can be checked without a console.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win32 {

// The characters written for a row: a text no longer than the width is padded with
// blanks to width + 1 characters (an empty text becomes width + 1 blanks), a longer
// text stays as it is; then one zero byte, which lands in the cell after the text.
std::string RowCells(std::string_view text, std::uint16_t width);

// How many of those cells get the row's attribute: all but the zero byte.
std::size_t ColouredCellCount(std::string_view cells);

// The caller's foreground (low four bits of the colour) on the background the
// console had at start-up (bits 0xF0 of its attributes); without colour, the
// start-up attributes as they were.
std::uint16_t RowAttribute(int colour, std::uint16_t startAttributes, bool coloured);

// After a row is written on cursorRow, the cursor moves to the next row by itself
// when that row is still inside the window; otherwise a line break on the console
// scrolls it into view.
bool NextRowInsideWindow(int cursorRow, int windowBottom);

}  // namespace platform::win32
