#include "text/conversions.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ParseIntOr, AcceptedForms) {
  struct Case {
    std::string text;
    std::int32_t expected;
  } cases[] = {
      {"$1F", 31},
      {"$1f", 31},
      {"x1f", 31},
      {"X1F", 31},
      {"0x1F", 31},
      {"0X10", 16},
      {"0x10", 16},
      {"-$10", -16},
      {"+$10", 16},
      {"+5", 5},
      {" 5", 5},
      {"   -7", -7},
      {"0", 0},
      {"-0", 0},
      {"007", 7},
      {"-2147483648", INT_MIN},
      {"2147483647", INT_MAX},
      {"$FFFFFFFF", -1},
      {"-$FFFFFFFF", 1},
      {"$80000000", INT_MIN},
      {"-$80000000", INT_MIN},
      {"$7FFFFFFF", INT_MAX},
      {"$000000001", 1},
      {"$00000000FFFFFFFF", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIntOr(c.text, -99), c.expected) << c.text;
}

TEST(ParseIntOr, RejectedFormsGiveTheFallback) {
  for (std::string text :
       {"",    " ",          "1F",         "-",           "+",           "--5", "+-5",
        "5 ",  " 5 ",        "2147483648", "-2147483649", "99999999999", "$",   "0x",
        "x",   "$100000000", "$1G",        "0x-1",        "1 2",         "\t5", "5\r\n",
        "$ 1", "1e3",        "0b1",        "0xx1",        "- 5"}) {
    EXPECT_EQ(ParseIntOr(text, -1), -1) << '"' << text << '"';
    EXPECT_EQ(ParseIntOr(text, 12345), 12345) << '"' << text << '"';
  }
  EXPECT_EQ(ParseIntOr(std::string("5\0", 2), -1), -1) << "a NUL is not the end of the text";
  EXPECT_EQ(ParseIntOr(std::string("\0"
                                   "5",
                                   2),
                       -1),
            -1);
}

TEST(IntToDecimal, DigitsWithSignAndNoPadding) {
  EXPECT_EQ(IntToDecimal(0), "0");
  EXPECT_EQ(IntToDecimal(42), "42");
  EXPECT_EQ(IntToDecimal(-16), "-16");
  EXPECT_EQ(IntToDecimal(INT_MIN), "-2147483648");
  EXPECT_EQ(IntToDecimal(INT_MAX), "2147483647");
  EXPECT_EQ(IntToDecimal(4294967296LL), "4294967296");
}

TEST(IntToDecimal, RoundTripsThroughParseIntOr) {
  for (std::int32_t value : {INT_MIN, -1000001, -1, 0, 1, 65535, INT_MAX}) {
    EXPECT_EQ(ParseIntOr(IntToDecimal(value), 7), value);
  }
}

TEST(AsciiLower, OnlyCapitalAsciiLettersChange) {
  EXPECT_EQ(AsciiLower("ABC xyz @[`{ Z"), "abc xyz @[`{ z");
  const std::string high("\xC0\xC9\xDE\xD7\x80\xFF", 6);
  EXPECT_EQ(AsciiLower(high), high);
  EXPECT_EQ(AsciiLower(std::string("A\0B", 3)), std::string("a\0b", 3));
  EXPECT_EQ(AsciiLower(""), "");
}

TEST(TrimControls, RemovesLeadingAndTrailingBytesUpTo32) {
  EXPECT_EQ(TrimControls(" \t\r\n"), "");
  EXPECT_EQ(TrimControls(""), "");
  EXPECT_EQ(TrimControls(std::string("\0 a b\0\x1f", 7)), "a b");
  EXPECT_EQ(TrimControls("\x01x\x7f"), "x\x7f") << "DEL is above 32";
  EXPECT_EQ(TrimControls("\xA0x\xA0"), "\xA0x\xA0") << "high bytes stay";
  EXPECT_EQ(TrimControls(std::string("a\0\0b", 4)), std::string("a\0\0b", 4));
}

TEST(AsciiCompareNoCase, DifferencesAndLengths) {
  struct Case {
    std::string a, b;
    std::int32_t expected;
  } cases[] = {
      {"abc", "ABD", -1},
      {"ab", "abc", -1},
      {"b", "A", 1},
      {"ABC", "abc", 0},
      {"", "", 0},
      {"", "xy", -2},
      {"abcd", "a", 3},
      {"a", "[", 'A' - '['},          // "[" sits between the cases: folding decides
      {"\xE9", "\xC9", 0xE9 - 0xC9},  // high bytes are not folded, compared unsigned
      {"\xFF", "a", 0xFF - 'A'},
      {std::string("a\0", 2), std::string("a\1", 2), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsciiCompareNoCase(c.a, c.b), c.expected) << c.a << " vs " << c.b;
  }
}

}  // namespace
