#include "platform/posix/console_bytes.h"

#include <gtest/gtest.h>

namespace {

using platform::posix::ConsoleRowBytes;
using platform::posix::ConsoleRowStyle;
using platform::posix::VisibleText;

ConsoleRowStyle Style(int colour, bool advance, bool utf8 = true, int width = 0) {
  ConsoleRowStyle style;
  style.colour = colour;
  style.advance = advance;
  style.utf8 = utf8;
  style.width = width;
  return style;
}

TEST(ConsoleRow, AdvanceEndsWithALineBreakInPlaceReturnsToTheRowStart) {
  EXPECT_EQ(ConsoleRowBytes("Banner", Style(14, true)), "\r\x1b[93mBanner\x1b[K\x1b[0m\n");
  EXPECT_EQ(ConsoleRowBytes("12000", Style(14, false)), "\r\x1b[93m12000\x1b[K\x1b[0m\r");
  EXPECT_EQ(ConsoleRowBytes("", Style(14, false)), "\r\x1b[93m\x1b[K\x1b[0m\r");
}

TEST(ConsoleRow, EveryColourIndexHasItsForeground) {
  const int expected[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  for (int colour = 0; colour < 16; ++colour) {
    EXPECT_EQ(ConsoleRowBytes("x", Style(colour, true)),
              "\r\x1b[" + std::to_string(expected[colour]) + "mx\x1b[K\x1b[0m\n")
        << colour;
  }
  // Only the low four bits choose the colour, as with console attributes.
  EXPECT_EQ(platform::posix::AnsiForeground(0x1E), 93);
}

TEST(ConsoleRow, ControlBytesBecomeOnePlaceholderEach) {
  const std::string text("a\x1b[2Jb\r\nc\0d\te\x7f", 14);
  EXPECT_EQ(VisibleText(text, true), "a?[2Jb??c?d?e?");
  const std::string bytes = ConsoleRowBytes(text, Style(14, true));
  // The only ESC bytes left are the writer's own three sequences.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\x1b'), 3);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 1);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 1);
}

TEST(ConsoleRow, C1ControlsDependOnTheCodeSet) {
  // Latin-1 terminal: raw 0x80..0x9F are controls (0x9B is a one-byte CSI).
  EXPECT_EQ(VisibleText("\x9b"
                        "31m\x80\x9f\xa0\xe9",
                        false),
            "?31m??\xa0\xe9");
  // UTF-8 terminal: raw high bytes belong to characters ...
  EXPECT_EQ(VisibleText("caf\xc3\xa9 \xe2\x82\xac", true), "caf\xc3\xa9 \xe2\x82\xac");
  // ... but a C1 control spelled in UTF-8 is neutralised as one character.
  EXPECT_EQ(VisibleText("a\xc2\x9b"
                        "31mb\xc2\xa0",
                        true),
            "a?31mb\xc2\xa0");
  EXPECT_EQ(VisibleText("\xc2", true), "\xc2");
}

TEST(ConsoleRow, InPlaceTextIsCutToOneLessThanTheWidth) {
  EXPECT_EQ(ConsoleRowBytes("abcdefgh", Style(14, false, true, 6)),
            "\r\x1b[93mabcde\x1b[K\x1b[0m\r");
  EXPECT_EQ(ConsoleRowBytes("abcde", Style(14, false, true, 6)), "\r\x1b[93mabcde\x1b[K\x1b[0m\r");
  EXPECT_EQ(ConsoleRowBytes("abcdefgh", Style(14, false, true, 0)),
            "\r\x1b[93mabcdefgh\x1b[K\x1b[0m\r")
      << "no cut when the width is unknown";
  EXPECT_EQ(ConsoleRowBytes("abcdefgh", Style(14, true, true, 6)),
            "\r\x1b[93mabcdefgh\x1b[K\x1b[0m\n")
      << "a row that advances may wrap";
}

ConsoleRowStyle Plain(bool advance, bool dumb, int width = 0, bool utf8 = true) {
  ConsoleRowStyle style = Style(14, advance, utf8, width);
  style.coloured = false;
  style.dumb = dumb;
  return style;
}

TEST(ConsoleRow, WithoutColourOnlyTheRowIsClearedAndNothingIsReset) {
  EXPECT_EQ(ConsoleRowBytes("Banner", Plain(true, false)), "\rBanner\x1b[K\n");
  EXPECT_EQ(ConsoleRowBytes("12000", Plain(false, false)), "\r12000\x1b[K\r");
  EXPECT_EQ(ConsoleRowBytes("abcdefgh", Plain(false, false, 6)), "\rabcde\x1b[K\r");
}

TEST(ConsoleRow, ADumbTerminalGetsNoControlSequenceAndBlanksClearTheRow) {
  struct Case {
    std::string text;
    ConsoleRowStyle style;
    std::string bytes;
  };
  ConsoleRowStyle dumbButColoured = Plain(true, true, 8);
  dumbButColoured.coloured = true;  // TERM=dumb alone already rules colour out
  const Case cases[] = {
      {"ab", Plain(true, true, 8), "\rab     \n"},
      {"ab", Plain(false, true, 8), "\rab     \r"},
      {"abcdefghij", Plain(false, true, 8), "\rabcdefg\r"},    // cut to width - 1
      {"abcdefghij", Plain(true, true, 8), "\rabcdefghij\n"},  // an advancing row may wrap
      {"ab", Plain(true, true, 0), "\rab\n"},                  // width unknown: no blanks
      {"\xc3\xa9\xc3\xa9", Plain(true, true, 5), "\r\xc3\xa9\xc3\xa9  \n"},  // columns, not bytes
      {"\xc3\xa9\xc3\xa9", Plain(true, true, 5, false), "\r\xc3\xa9\xc3\xa9\n"},
      {"a\x1b[2Jb", Plain(true, true, 0), "\ra?[2Jb\n"},
      {"ab", dumbButColoured, "\rab     \n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConsoleRowBytes(c.text, c.style), c.bytes) << c.text;
  }
}

TEST(ConsoleRow, CutCountsCharactersAndNeverSplitsOne) {
  // Four columns fit: "\xc3\xa9" is one column in UTF-8, two in Latin-1.
  EXPECT_EQ(ConsoleRowBytes("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", Style(1, false, true, 5)),
            "\r\x1b[34m\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\x1b[K\x1b[0m\r");
  EXPECT_EQ(ConsoleRowBytes("\xc3\xa9\xc3\xa9\xc3\xa9", Style(1, false, false, 5)),
            "\r\x1b[34m\xc3\xa9\xc3\xa9\x1b[K\x1b[0m\r");
  // Placeholders count as one column each.
  EXPECT_EQ(ConsoleRowBytes("\t\t\t\t\t\t", Style(1, false, true, 3)),
            "\r\x1b[34m??\x1b[K\x1b[0m\r");
}

}  // namespace
