#include "app/pair_decoding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app_fixture.h"
#include "base/exceptions.h"

namespace apptest {
namespace {

using namespace std::string_literals;

using DecodingTest = AppTest;

struct DecodeCase {
  std::string input;
  std::string expected;
};

void ExpectDecodings(const std::vector<DecodeCase>& cases) {
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(DecodeEscapes(c.input), c.expected);
  }
}

TEST_F(DecodingTest, HexadecimalBytesNeedTwoCapitalDigits) {
  ExpectDecodings({
      {"\\x41", "A"},
      {"\\X41", "\\X41"},  // the search for the escape is case-sensitive
      {"\\x4a", "\\x4a"},
      {"\\x4", "\\x4"},
      {"\\x", "\\x"},
      {"ab\\x4", "ab\\x4"},
      {"\\xG1", "\\xG1"},
      {"\\x00", "\0"s},
      {"\\xFF", "\xFF"},
      {"a\\x0D\\x0Ab", "a\r\nb"},
      {"\\x41 \\X41", "A A"},
  });
}

TEST_F(DecodingTest, FoundHexEscapeReplacesEveryCaseFormOfIt) {
  // The lower-case form alone is left; after a capital one it goes with it.
  ExpectDecodings({
      {"\\x4a", "\\x4a"},
      {"\\x4a \\x4A", "J J"},
      {"\\X4a-\\x4A-\\X4A", "J-J-J"},
      {"\\x4a\\x4A\\x41", "JJA"},
  });
}

TEST_F(DecodingTest, SpaceRunsCountFromZeroToFF) {
  ExpectDecodings({
      {"\\s03", "   "},
      {"\\S03", "\\S03"},
      {"\\sFF", std::string(255, ' ')},
      {"a\\s00b", "ab"},
      {"\\s00\\s03", "   "},
      {"\\s0f", "\\s0f"},
      {"\\s1", "\\s1"},
      {"\\s10|\\S10", std::string(16, ' ') + "|" + std::string(16, ' ')},
  });
}

TEST_F(DecodingTest, DoubledBackslashIsProtectedFromOtherEscapes) {
  ExpectDecodings({
      {"\\\\", "\\"},
      {"\\\\q", "\\q"},
      {"\\\\n", "\\n"},
      {"\\\\x41", "\\x41"},
      {"\\\\\\", "\\\\"},
      {"\\\\\\n", "\\\n"},
      {"\\", "\\"},
      {"a\\", "a\\"},
  });
}

TEST_F(DecodingTest, QuoteAndEqualEscapesInEitherCase) {
  ExpectDecodings({
      {"\\q", "\""},
      {"\\Q", "\""},
      {"\\!", "\""},
      {"\\\"", "\""},
      {"\\e", "="},
      {"\\E", "="},
      {"a\\eb\\qc", "a=b\"c"},
  });
}

TEST_F(DecodingTest, ControlEscapesInEitherCase) {
  ExpectDecodings({
      {"\\r\\n", "\r\n"},
      {"\\R\\N", "\r\n"},
      {"\\t", "\t"},
      {"\\b", "\b"},
      {"\\z", "\x1A"},
      {"\\'", "'"},
      {"\\y\\a", "\\y\\a"},
  });
}

TEST_F(DecodingTest, BytesMadeByHexEscapesCanStartLaterEscapes) {
  ExpectDecodings({
      {"\\x5Cn", "\n"},
      {"\\x5Cs03", "   "},
      // Within its own loop a made backslash starts nothing.
      {"\\x5Cx41", "\\x41"},
      {"\\x5C\\x5C", "\\\\"},
  });
}

TEST_F(DecodingTest, PlaceholderBytesInTheTextSurviveDecoding) {
  ExpectDecodings({
      {"\x1C\x1D", "\x1C\x1D"},
      {"\x1C\x1D\\\\", "\x1C\x1D\\"},
      {"\\x1C\\x1D", "\x1C\x1D"},
      {"\\x1C\\x1D\\\\n", "\x1C\x1D\\n"},
      {"\x1C\x1D\x1D|\x1C\x1D|\\\\", "\x1C\x1D\x1D|\x1C\x1D|\\"},
  });
}

TEST_F(DecodingTest, NulAndLineBreaksAreOrdinaryBytes) {
  ExpectDecodings({
      {"a\0\\n"s, "a\0\n"s},
      {"\0\\x41\0"s, "\0A\0"s},
      {"\r\n\\t\r\n", "\r\n\t\r\n"},
      {"", ""},
  });
}

TEST_F(DecodingTest, RegexModeKeepsEngineEscapesAndDoubledBackslashes) {
  Settings.RegexMode = true;
  ExpectDecodings({
      {"\\n", "\\n"},
      {"\\t\\r\\b\\z\\'", "\\t\\r\\b\\z\\'"},
      {"\\x41", "\\x41"},
      {"\\s03", "\\s03"},
      {"\\q", "\""},
      {"\\!", "\""},
      {"\\\"", "\""},
      {"\\e", "="},
      {"\\\\", "\\\\"},
      {"a\\\\.b", "a\\\\.b"},
      {"\\\\q", "\\\\q"},
      {"\\\\\\", "\\\\\\"},
      {"\x1C\x1D\\\\", "\x1C\x1D\\\\"},
  });
}

TEST_F(DecodingTest, FileTextOrGivesTheContentWithCrLfAfterEveryLine) {
  ScratchFolder folder;
  folder.Write("lf.txt", "one\ntwo");
  folder.Write("crlf.txt", "one\r\ntwo\r\n");
  folder.Write("empty.txt", "");
  std::filesystem::create_directory(folder.path() / "dir");
  EXPECT_EQ(FileTextOr("lf.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(FileTextOr("crlf.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(FileTextOr(folder / "crlf.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(FileTextOr("empty.txt"), "");
  EXPECT_EQ(FileTextOr("missing.txt"), "missing.txt");
  EXPECT_EQ(FileTextOr("dir"), "dir");
  EXPECT_EQ(FileTextOr(""), "");
}

TEST_F(DecodingTest, WildcardTextIsNeverTakenForAFile) {
  ScratchFolder folder;
  folder.Write("pets.txt", "cat\n");
  EXPECT_EQ(FileTextOr("*.txt"), "*.txt");
  EXPECT_EQ(FileTextOr("pets.tx?"), "pets.tx?");
}

TEST_F(DecodingTest, AddPairLoadsFilesThenDecodesBothSides) {
  ScratchFolder folder;
  folder.Write("a", "tab\\there\r\n");
  folder.Write("b", "x\\qy");
  AddPair("a", "b");
  AddPair("\\x41", "a.txt");
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"tab\there\r\n", "x\"y\r\n"}, {"A", "a.txt"}}));
}

TEST_F(DecodingTest, HeaderRuleLoadsThenDecodes) {
  ScratchFolder folder;
  folder.Write("head", "\\s02top");
  EXPECT_EQ(DecodeFileOrText("head"), "  top\r\n");
  EXPECT_EQ(DecodeFileOrText("\\s02top"), "  top");
}

TEST_F(DecodingTest, ExistingFileThatCannotBeOpenedRaisesOpenError) {
  ScratchFolder folder;
  std::string name;
  if (geteuid() != 0) {
    folder.Write("locked.txt", "secret");
    std::filesystem::permissions(folder.path() / "locked.txt", std::filesystem::perms::none);
    name = "locked.txt";
  } else if (std::filesystem::is_regular_file("/proc/sys/vm/drop_caches") &&
             !std::ifstream("/proc/sys/vm/drop_caches")) {
    name = "/proc/sys/vm/drop_caches";  // write-only, even for root
  } else {
    GTEST_SKIP() << "no unreadable regular file can be made here";
  }
  EXPECT_THROW(FileTextOr(name), EFOpenError);
  EXPECT_THROW(AddPair("x", name), EFOpenError);
  EXPECT_EQ(SearchList->Count(), ReplaceList->Count());
}

}  // namespace
}  // namespace apptest
