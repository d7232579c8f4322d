// The whole-text stages on hand-picked inputs: line ends of every kind, bytes 0
// with and without a substitute, pairs in order, and the bytes written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// The lines of the text, each followed by lineEnd, as WriteLines passes them on.
std::size_t SplitAndEndLines(std::string& text, std::string_view lineEnd) {
  std::string written;
  const std::size_t cut =
      WriteLines([&written](std::string_view bytes) { written.append(bytes); }, text, lineEnd);
  text = written;
  return cut;
}

using test_support::ReadFile;

class WholeTextTest : public apptest::AppTest {
 protected:
  apptest::ScratchFolder folder_;
};

struct SplitCase {
  std::string text;
  std::string withCrLf;
  std::string withLf;
  std::size_t cut;
};

TEST_F(WholeTextTest, SplitAndEndLinesRewritesEveryKindOfLineEnd) {
  const std::vector<SplitCase> cases = {
      {"", "", "", kNotCut},
      {"a", "a\r\n", "a\n", kNotCut},
      {"a\r\n", "a\r\n", "a\n", kNotCut},
      {"\r\n", "\r\n", "\n", kNotCut},
      {"\n\n\n", "\r\n\r\n\r\n", "\n\n\n", kNotCut},
      {"a\rb", "a\r\nb\r\n", "a\nb\n", kNotCut},
      {"a\n\rb", "a\r\n\r\nb\r\n", "a\n\nb\n", kNotCut},
      {"a\r\rb", "a\r\n\r\nb\r\n", "a\n\nb\n", kNotCut},
      {"a\r\r\n", "a\r\n\r\n", "a\n\n", kNotCut},
      {"a\r\n\nb\r", "a\r\n\r\nb\r\n", "a\n\nb\n", kNotCut},
      {"x\r\ny\r\nz", "x\r\ny\r\nz\r\n", "x\ny\nz\n", kNotCut},
      {"a\0b\r\nc"s, "a\r\n", "a\n", 1},
      {"\0abc"s, "\r\n", "\n", 0},
      {"\0"s, "\r\n", "\n", 0},
      {"a\r\n\0b"s, "a\r\n", "a\n", 3},
      {"a\r\0\nb"s, "a\r\n", "a\n", 2},
      {"a\n\0"s, "a\r\n", "a\n", 2},
  };
  for (const auto& c : cases) {
    std::string crlf = c.text;
    EXPECT_EQ(SplitAndEndLines(crlf, "\r\n"), c.cut) << testing::PrintToString(c.text);
    EXPECT_EQ(crlf, c.withCrLf) << testing::PrintToString(c.text);
    std::string lf = c.text;
    EXPECT_EQ(SplitAndEndLines(lf, "\n"), c.cut) << testing::PrintToString(c.text);
    EXPECT_EQ(lf, c.withLf) << testing::PrintToString(c.text);
  }
}

TEST_F(WholeTextTest, SplitAndEndLinesKeepsLongLinesWhole) {
  const std::string longLine(100000, 'q');
  std::string text = longLine + "\n" + longLine + "\r" + longLine;
  SplitAndEndLines(text, "\r\n");
  EXPECT_EQ(text, longLine + "\r\n" + longLine + "\r\n" + longLine + "\r\n");
  SplitAndEndLines(text, "\n");
  EXPECT_EQ(text, longLine + "\n" + longLine + "\n" + longLine + "\n");
}

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

struct WriteCase {
  std::string header;
  std::string text;
  std::string footer;
  std::string lineEnd;
  std::string file;
};

TEST_F(WholeTextTest, WritesHeaderTextAndFooterExactly) {
  const std::vector<WriteCase> cases = {
      {"", "", "", "\r\n", ""},
      {"top", "", "", "\r\n", "top\r\n"},
      {"", "a\r\n", "end", "\r\n", "a\r\nend\r\n"},
      {"top", "a\n", "end", "\n", "top\na\nend\n"},
      // Header and footer go out unchanged, even with line breaks and bytes 0.
      {"t\r1\n2", "a\r\n", "f\0x"s, "\r\n", "t\r1\n2\r\na\r\nf\0x\r\n"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WriteWholeTextToFile((folder_ / "out.txt"), c.header, c.text, c.footer, c.lineEnd),
              kNotCut);
    EXPECT_EQ(ReadFile(folder_.path() / "out.txt"), c.file);

    TextStream stream;
    BindTextFile(stream, (folder_ / "stream.txt"));
    OpenTextWrite(stream);
    EXPECT_EQ(WriteWholeText(stream, c.header, c.text, c.footer, c.lineEnd), kNotCut);
    CloseText(stream);
    EXPECT_EQ(ReadFile(folder_.path() / "stream.txt"), c.file + "\r\n");
  }
}

TEST_F(WholeTextTest, FileThatCannotBeCreatedRaisesCreateError) {
  const std::string target = folder_ / "no-such-folder/out.txt";
  try {
    WriteWholeTextToFile(target, "", "a\r\n", "", "\r\n");
    FAIL() << "no failure raised";
  } catch (const Exception& failure) {
    EXPECT_STREQ(failure.ClassName(), "EFCreateError");
    EXPECT_EQ(failure.Message(),
              "Cannot create file \"" + platform::FullPathOf(target) + "\". " +
                  platform::SystemErrorText(platform_test::CodeOfCreating(target)))
        << failure.Message();
  }
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(WholeTextTest, ReplacingAnExistingFileLeavesNoTemporaryFileBehind) {
  folder_.Write("out.txt", "old content that is longer than the new one\r\n");
  WriteWholeTextToFile((folder_ / "out.txt"), "", "new\r\n", "", "\r\n");
  EXPECT_EQ(ReadFile(folder_.path() / "out.txt"), "new\r\n");
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

}  // namespace
