#include "oem/oem.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace std::string_literals;

const std::map<unsigned char, unsigned char> kExpectedConversions = {
    {0xA4, 0xCF}, {0xC3, 0xC7}, {0xC4, 0x8E}, {0xC5, 0x8F}, {0xC9, 0x90},
    {0xD6, 0x99}, {0xDC, 0x9A}, {0xE1, 0xA0}, {0xE4, 0x84}, {0xE5, 0x86},
    {0xE9, 0x82}, {0xF6, 0x94}, {0xFC, 0x81},
};

TEST(ToOemChar, ConvertsExactlyTheThirteenTableBytes) {
  int changed = 0;
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    const auto found = kExpectedConversions.find(byte);
    const unsigned char expected = found == kExpectedConversions.end() ? byte : found->second;
    EXPECT_EQ(ToOemChar(byte), expected) << "byte " << value;
    if (ToOemChar(byte) != byte) ++changed;
  }
  EXPECT_EQ(changed, 13);
}

TEST(ToOemChar, NeighboursAndLowerCaseVariantsStay) {
  for (const unsigned char kept : {0xE3, 0xC6, 0xD8, 0xE6, 0xF8, 0xE0, 0xE8, 0x00, 0x7F, 0xFF}) {
    EXPECT_EQ(ToOemChar(kept), kept) << int{kept};
  }
  EXPECT_EQ(ToOemChar(0xC3), 0xC7);  // while its small letter 0xE3 stays
}

TEST(ToOemChar, ConvertingTwiceChangesNothing) {
  for (int value = 0; value < 256; ++value) {
    const auto once = ToOemChar(static_cast<unsigned char>(value));
    EXPECT_EQ(ToOemChar(once), once) << "byte " << value;
  }
}

TEST(ToOemText, SwedishWordsAndUnchangedBytes) {
  // "Ärende åt Sören" in code page 1252.
  const std::string ansi = "\xC4rende \xE5t S\xF6ren";
  const std::string expected = "\x8Erende \x86t S\x94ren";
  EXPECT_EQ(ToOemText(ansi), expected);
  EXPECT_EQ(ToOemText(""), "");
}

TEST(ToOemText, KeepsZeroBytesLineBreaksAndLength) {
  const std::string text = "\0a\r\n\xE9\0\t\xE3\x1A"s;
  const std::string converted = ToOemText(text);
  ASSERT_EQ(converted.size(), text.size());
  EXPECT_EQ(converted, "\0a\r\n\x82\0\t\xE3\x1A"s);
  EXPECT_EQ(text, "\0a\r\n\xE9\0\t\xE3\x1A"s);  // the input is not changed
}

TEST(ToOemInPlace, AgreesWithTheByteTableAtEveryOffsetAndLength) {
  // Table bytes placed at every position around the word-sized ASCII skipping.
  std::string pattern;
  for (int value = 0; value < 256; ++value) pattern += static_cast<char>(value);
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t offset = 0; offset < 24; ++offset) {
      std::string text(length, 'q');
      for (std::size_t i = 0; i < length; ++i) {
        if ((i + offset) % 5 == 0) text[i] = pattern[(i * 37 + offset * 11) % 256];
      }
      std::string expected = text;
      for (char& c : expected) c = static_cast<char>(ToOemChar(static_cast<unsigned char>(c)));
      std::string converted = text;
      ToOemInPlace(converted);
      ASSERT_EQ(converted, expected) << "length " << length << " offset " << offset;
    }
  }
}

TEST(ToOemInPlace, LastByteAfterLongAsciiRunIsConverted) {
  std::string text(1000, 'a');
  text += "\xFC";
  ToOemInPlace(text);
  EXPECT_EQ(text, std::string(1000, 'a') + "\x81");
}

}  // namespace
