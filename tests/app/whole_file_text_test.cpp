// The whole-text stages on hand-picked inputs: line ends of every kind, bytes 0
// with and without a substitute, pairs in order, and output files that cannot be
// or already are there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/whole_file_stream.h"
#include "app/whole_text.h"
#include "app_fixture.h"
#include "base/exceptions.h"
#include "faststrings/fast_strings.h"
#include "platform/failure_codes.h"
#include "platform/files.h"
#include "text/file_stream.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;

using test_support::ReadFile;

class WholeTextTest : public apptest::AppTest {
 protected:
  apptest::ScratchFolder folder_;
};

struct LoadCase {
  std::string file;
  bool keepZero;
  char substitute;
  std::string text;
  std::size_t cut;
};

TEST_F(WholeTextTest, LoadJoinedTextEndsEveryLineWithCrLf) {
  const std::vector<LoadCase> cases = {
      {"", false, 1, "", kNotCut},
      {"", true, 1, "", kNotCut},
      {"\n", false, 1, "\r\n", kNotCut},
      {"a\nb", false, 1, "a\r\nb\r\n", kNotCut},
      {"a\r\nb\r\n", false, 1, "a\r\nb\r\n", kNotCut},
      {"a\n\rb", false, 1, "a\r\n\r\nb\r\n", kNotCut},
      {"a\0b\nc"s, false, 1, "a\r\n", 1},
      {"\0a\nb"s, false, 1, "\r\n", 0},
      {"a\0b\nc"s, true, 1, "a\x01"s + "b\r\nc\r\n", kNotCut},
      {"a\0b"s, true, '\x1F', "a\x1F"s + "b\r\n", kNotCut},
      // A substitute CR or LF stays inside its line.
      {"a\0b"s, true, '\r', "a\rb\r\n", kNotCut},
      {"a\0b"s, true, '\n', "a\nb\r\n", kNotCut},
      {"a\0b"s, true, '\0', "a\0b\r\n"s, kNotCut},
      {"\0\0"s, true, 'z', "zz\r\n", kNotCut},
  };
  for (const auto& c : cases) {
    folder_.Write("in.txt", c.file);
    std::string text = "stale";
    EXPECT_EQ(LoadJoinedText((folder_ / "in.txt"), c.keepZero, c.substitute, text), c.cut)
        << testing::PrintToString(c.file);
    EXPECT_EQ(text, c.text) << testing::PrintToString(c.file);
  }
}

TEST_F(WholeTextTest, LoadWithZeroBytesKeepsEverythingBehindThem) {
  std::string file = "head\0tail\n"s;
  std::string expected = "head\x01tail\r\n";
  for (int i = 0; i < 100; ++i) {
    file += "line " + std::to_string(i) + "\n";
    expected += "line " + std::to_string(i) + "\r\n";
  }
  folder_.Write("in.txt", file);
  std::string text;
  EXPECT_EQ(LoadJoinedText((folder_ / "in.txt"), true, 1, text), kNotCut);
  EXPECT_EQ(text, expected);
  EXPECT_EQ(LoadJoinedText((folder_ / "in.txt"), false, 1, text), 4u);
  EXPECT_EQ(text, "head\r\n");
}

TEST_F(WholeTextTest, LoadOfAMissingFileRaisesOpenError) {
  std::string text = "untouched";
  try {
    LoadJoinedText((folder_ / "missing.txt"), false, 1, text);
    FAIL() << "no failure raised";
  } catch (const Exception& failure) {
    EXPECT_STREQ(failure.ClassName(), "EFOpenError");
    EXPECT_EQ(
        failure.Message().rfind("Cannot open file \"" + (folder_ / "missing.txt") + "\". ", 0), 0u)
        << failure.Message();
  }
}

struct PairCase {
  std::string text;
  std::vector<apptest::Pair> pairs;
  CaseMode caseMode;
  std::string expected;
};

TEST_F(WholeTextTest, PairsApplyInOrderLeftToRightWithoutOverlap) {
  const std::vector<PairCase> cases = {
      {"aaa", {{"aa", "b"}}, CaseMode::Exact, "ba"},
      {"abab", {{"ab", "abab"}}, CaseMode::Exact, "abababab"},
      {"Hello HELLO", {{"hello", "x"}}, CaseMode::Folded, "x x"},
      {"Hello HELLO", {{"hello", "x"}}, CaseMode::Exact, "Hello HELLO"},
      {"ABC", {{"b", "x"}}, CaseMode::Folded, "AxC"},
      {"a-b-c", {{"-", ""}}, CaseMode::Exact, "abc"},
      {"a\r\nb\r\n", {{"\r\n", ""}}, CaseMode::Exact, "ab"},
      {"a\r\nb\r\n", {{"\r\n", "\n"}}, CaseMode::Exact, "a\nb\n"},
      {"ab", {{"abc", "x"}}, CaseMode::Exact, "ab"},
      {"ab", {{"ab", "xy"}}, CaseMode::Exact, "xy"},
      {"ab", {{"", "x"}}, CaseMode::Exact, "ab"},
      {"", {{"a", "b"}}, CaseMode::Exact, ""},
      {"ab", {{"a", "b"}, {"b", "c"}}, CaseMode::Exact, "cc"},
      {"ab", {{"b", "c"}, {"a", "b"}}, CaseMode::Exact, "bc"},
      {"x\0y"s, {{"\0"s, "--"}}, CaseMode::Exact, "x--y"},
      {"cat Cat CAT", {{"cat", "dog"}}, CaseMode::Folded, "dog dog dog"},
      {"cat Cat CAT", {{"cat", "dog"}}, CaseMode::Exact, "dog Cat CAT"},
      {"one two", {{"one", "1"}, {"two", "three"}, {"1 three", "done"}}, CaseMode::Exact, "done"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    std::string spare;
    for (const auto& [search, replace] : c.pairs) {
      ApplyPair(text, spare, search, replace, c.caseMode, SearchKind::Literal);
    }
    EXPECT_EQ(text, c.expected) << testing::PrintToString(c.text);
  }
}

TEST_F(WholeTextTest, FileThatCannotBeCreatedRaisesCreateError) {
  folder_.Write("in.txt", "a\n");
  RunContext context;
  context.inputFile = folder_ / "in.txt";
  context.outputFile = folder_ / "no-such-folder/out.txt";
  for (const bool whole : {false, true}) {
    try {
      if (whole) {
        ProcessWholeText(context);
      } else {
        StreamWholeFile(context);
      }
      FAIL() << "no failure raised";
    } catch (const Exception& failure) {
      EXPECT_STREQ(failure.ClassName(), "EFCreateError");
      EXPECT_EQ(failure.Message(),
                "Cannot create file \"" + platform::FullPathOf(context.outputFile) + "\". " +
                    platform::SystemErrorText(platform_test::CodeOfCreating(context.outputFile)))
          << failure.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(context.outputFile));
  }
}

TEST_F(WholeTextTest, ReplacingAnExistingFileLeavesNoTemporaryFileBehind) {
  folder_.Write("in.txt", "new\n");
  RunContext context;
  context.inputFile = folder_ / "in.txt";
  context.outputFile = folder_ / "out.txt";
  for (const bool whole : {false, true}) {
    folder_.Write("out.txt", "old content that is longer than the new one\r\n");
    if (whole) {
      ProcessWholeText(context);
    } else {
      StreamWholeFile(context);
    }
    EXPECT_EQ(ReadFile(folder_.path() / "out.txt"), "new\r\n");
    EXPECT_EQ(test_support::EntryCount(folder_.path()), 2u);
  }
}

}  // namespace
