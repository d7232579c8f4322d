#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::CodePage;
using platform::CodePageFromCodeSetName;
using platform::LowerCaseByte;
using platform::UpperCaseByte;

struct NameCase {
  const char* name;
  CodePage expected;
};

class CodeSetNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CodeSetNameTest, MapsToCodePage) {
  EXPECT_EQ(CodePageFromCodeSetName(GetParam().name), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, CodeSetNameTest,
    ::testing::Values(
        NameCase{"CP1252", CodePage::Windows1252}, NameCase{"cp1252", CodePage::Windows1252},
        NameCase{"WINDOWS-1252", CodePage::Windows1252},
        NameCase{"windows-1252", CodePage::Windows1252},
        NameCase{"ISO-8859-1", CodePage::Windows1252}, NameCase{"ISO8859-1", CodePage::Windows1252},
        NameCase{"iso88591", CodePage::Windows1252}, NameCase{"ISO_8859-1", CodePage::Windows1252},
        NameCase{"ISO_8859-1:1987", CodePage::Windows1252},
        NameCase{"ISO-8859-15", CodePage::Windows1252},
        NameCase{"iso8859-15", CodePage::Windows1252}, NameCase{"UTF-8", CodePage::Utf8},
        NameCase{"utf8", CodePage::Utf8}, NameCase{"utf_8", CodePage::Utf8},
        NameCase{"UTF-16", CodePage::AsciiOnly}, NameCase{"ANSI_X3.4-1968", CodePage::AsciiOnly},
        NameCase{"", CodePage::AsciiOnly},
        // Near misses: other parts of ISO 8859 and other Windows pages.
        NameCase{"ISO-8859-11", CodePage::AsciiOnly}, NameCase{"ISO-8859-2", CodePage::AsciiOnly},
        NameCase{"ISO-8859-150", CodePage::AsciiOnly}, NameCase{"CP1251", CodePage::AsciiOnly},
        NameCase{"CP12521", CodePage::AsciiOnly}, NameCase{"XCP1252", CodePage::AsciiOnly}));

struct PairCase {
  int lower;
  int upper;
};

// Pairs that must fold both ways in Windows-1252.
class Windows1252PairTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(Windows1252PairTest, FoldsBothWays) {
  const auto lower = static_cast<uint8_t>(GetParam().lower);
  const auto upper = static_cast<uint8_t>(GetParam().upper);
  EXPECT_EQ(UpperCaseByte(CodePage::Windows1252, lower), upper);
  EXPECT_EQ(LowerCaseByte(CodePage::Windows1252, upper), lower);
  EXPECT_EQ(UpperCaseByte(CodePage::Windows1252, upper), upper);
  EXPECT_EQ(LowerCaseByte(CodePage::Windows1252, lower), lower);
}

INSTANTIATE_TEST_SUITE_P(Letters, Windows1252PairTest,
                         ::testing::Values(PairCase{'a', 'A'}, PairCase{'z', 'Z'},
                                           PairCase{0xE0, 0xC0}, PairCase{0xF6, 0xD6},
                                           PairCase{0xF8, 0xD8}, PairCase{0xFE, 0xDE},
                                           PairCase{0x9A, 0x8A}, PairCase{0x9C, 0x8C},
                                           PairCase{0x9E, 0x8E}, PairCase{0xFF, 0x9F}));

TEST(CodePageTest, Windows1252BytesWithoutCaseStay) {
  // Division and multiplication signs, sharp s, micro sign, the bytes around
  // the odd pairs, and the neighbours of the letter ranges.
  for (int b :
       {0xF7, 0xD7, 0xDF, 0xB5, 0x9B, 0x9D, 0x8B, 0x8D, 0x80, 0xBF, 0x40, 0x5B, 0x60, 0x7B}) {
    const auto byte = static_cast<uint8_t>(b);
    EXPECT_EQ(UpperCaseByte(CodePage::Windows1252, byte), byte) << b;
    EXPECT_EQ(LowerCaseByte(CodePage::Windows1252, byte), byte) << b;
  }
}

int CountChanged(CodePage codePage, uint8_t (*map)(CodePage, uint8_t)) {
  int changed = 0;
  for (int b = 0; b < 256; ++b) changed += map(codePage, static_cast<uint8_t>(b)) != b;
  return changed;
}

TEST(CodePageTest, NumberOfCasedBytes) {
  // 26 ASCII letters, 30 accented letters, 4 odd pairs; in UTF-8 and the C
  // locale no byte above 0x7F has a case on its own.
  EXPECT_EQ(CountChanged(CodePage::Windows1252, UpperCaseByte), 60);
  EXPECT_EQ(CountChanged(CodePage::Windows1252, LowerCaseByte), 60);
  EXPECT_EQ(CountChanged(CodePage::AsciiOnly, UpperCaseByte), 26);
  EXPECT_EQ(CountChanged(CodePage::AsciiOnly, LowerCaseByte), 26);
  EXPECT_EQ(CountChanged(CodePage::Utf8, UpperCaseByte), 26);
  EXPECT_EQ(CountChanged(CodePage::Utf8, LowerCaseByte), 26);
}

TEST(CodePageTest, MappingsAreInversesAndIdempotent) {
  for (CodePage codePage : {CodePage::Windows1252, CodePage::AsciiOnly}) {
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      const uint8_t upper = UpperCaseByte(codePage, byte);
      const uint8_t lower = LowerCaseByte(codePage, byte);
      EXPECT_EQ(UpperCaseByte(codePage, upper), upper) << b;
      EXPECT_EQ(LowerCaseByte(codePage, lower), lower) << b;
      if (upper != byte) {
        EXPECT_EQ(LowerCaseByte(codePage, upper), byte) << b;
      }
      if (lower != byte) {
        EXPECT_EQ(UpperCaseByte(codePage, lower), byte) << b;
      }
      EXPECT_FALSE(upper != byte && lower != byte) << b;
    }
  }
}

}  // namespace
