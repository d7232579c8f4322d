#include "platform/win32/console_cells.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::ColouredCellCount;
using platform::win32::NextRowInsideWindow;
using platform::win32::RowAttribute;
using platform::win32::RowCells;

TEST(RowCells, EmptyTextBecomesWidthPlusOneBlanksAndTheZeroByte) {
  std::string cells = RowCells("", 120);
  ASSERT_EQ(cells.size(), 122u);
  EXPECT_EQ(cells.substr(0, 121), std::string(121, ' '));
  EXPECT_EQ(cells.back(), '\0');
  EXPECT_EQ(ColouredCellCount(cells), 121u);
}

TEST(RowCells, PaddingDependsOnTheLengthAgainstTheWidth) {
  struct Case {
    std::size_t length;
    std::uint16_t width;
    std::size_t expectedCells;  // written, the zero byte included
  };
  const Case cases[] = {
      {119, 120, 122},             // padded to width + 1
      {120, 120, 122},             // exactly the width: one blank
      {121, 120, 122},             // one longer: no padding at all
      {200, 120, 201}, {0, 0, 2},  // no console width known: one blank
      {5, 0, 6},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'x');
    std::string cells = RowCells(text, c.width);
    SCOPED_TRACE(std::to_string(c.length) + " in " + std::to_string(c.width));
    EXPECT_EQ(cells.size(), c.expectedCells);
    EXPECT_EQ(cells.substr(0, c.length), text);
    EXPECT_EQ(cells.find_first_not_of(' ', c.length), cells.size() - 1);
    EXPECT_EQ(ColouredCellCount(cells), c.expectedCells - 1);
  }
}

TEST(RowCells, ControlBytesAndZeroBytesAreCellsLikeAnyOther) {
  const std::string text("a\r\n\0\x1b", 5);
  std::string cells = RowCells(text, 8);
  EXPECT_EQ(cells, text + std::string(4, ' ') + std::string(1, '\0'));
}

TEST(RowAttribute, ForegroundFromTheCallerBackgroundFromStartUp) {
  EXPECT_EQ(RowAttribute(14, 0x1F, true), 0x1E);
  EXPECT_EQ(RowAttribute(14, 0x07, true), 0x0E);
  EXPECT_EQ(RowAttribute(0x3E, 0x00, true), 0x0E);  // bits above the foreground are dropped
  EXPECT_EQ(RowAttribute(7, 0xFFF0, true), 0xF7);   // only the background bits of start-up
}

TEST(RowAttribute, WithoutColourTheRowKeepsTheStartUpAttributes) {
  EXPECT_EQ(RowAttribute(14, 0x1F, false), 0x1F);
  EXPECT_EQ(RowAttribute(14, 0x07, false), 0x07);
  EXPECT_EQ(RowAttribute(7, 0x8070, false), 0x8070);
}

TEST(NextRowInsideWindow, OnlyTheWindowsLastRowNeedsALineBreak) {
  EXPECT_TRUE(NextRowInsideWindow(0, 24));
  EXPECT_TRUE(NextRowInsideWindow(23, 24));
  EXPECT_FALSE(NextRowInsideWindow(24, 24));
  EXPECT_FALSE(NextRowInsideWindow(9000, 8999));
  EXPECT_TRUE(NextRowInsideWindow(21, 300));  // deep in a tall window: no line break
}

}  // namespace
