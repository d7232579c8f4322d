#include "text/text_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "support/temp_folder.h"

namespace {

// The text of the next line, its line end consumed (a lone CR dropped).
std::string NextLine(TextStream& stream) {
  std::string spare;
  TextLine line;
  ReadPhysicalLine(stream, spare, LoneCr::Dropped, line);
  return std::string(line.text);
}

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

class TextStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { PendingStreamError() = 0; }
  void TearDown() override {
    if (stream.mode != TextStreamMode::Closed) CloseText(stream);
    PendingStreamError() = 0;
  }

  void OpenReading(const std::string& bytes) {
    WriteFile(folder / "in.txt", bytes);
    BindTextFile(stream, folder / "in.txt");
    OpenTextRead(stream);
    ASSERT_EQ(stream.mode, TextStreamMode::Reading);
  }

  // The lines as line-by-line mode takes them, asking for the end only after an
  // empty line.
  std::vector<std::string> ReadAllLines(LoneCr loneCr = LoneCr::Dropped) {
    std::vector<std::string> lines;
    std::string spare;
    TextLine line;
    for (int guard = 0; guard < 100000; ++guard) {
      ReadPhysicalLine(stream, spare, loneCr, line);
      lines.emplace_back(line.text);
      if (line.text.empty() && AtEndOfText(stream)) return lines;
    }
    ADD_FAILURE() << "the end of the data was never reached";
    return lines;
  }

  // The same through the design's pair of calls: read the text, skip the line end.
  std::vector<std::string> ReadAllLinesInTwoSteps() {
    std::vector<std::string> lines;
    for (int guard = 0; guard < 100000; ++guard) {
      std::string line = ReadTextLine(stream);
      SkipLineEnd(stream);
      const bool empty = line.empty();
      lines.push_back(std::move(line));
      if (empty && AtEndOfText(stream)) return lines;
    }
    ADD_FAILURE() << "the end of the data was never reached";
    return lines;
  }

  TempFolder folder;
  TextStream stream;
};

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

class TextStreamLineTable : public TextStreamTest,
                            public ::testing::WithParamInterface<LineCase> {};

TEST_P(TextStreamLineTable, ReturnsTheLinesInOrder) {
  OpenReading(GetParam().bytes);
  EXPECT_EQ(ReadAllLines(), GetParam().lines);
  CloseText(stream);
  OpenReading(GetParam().bytes);
  EXPECT_EQ(ReadAllLinesInTwoSteps(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, TextStreamLineTable,
    ::testing::Values(
        LineCase{"CrLf", "a\r\nb\r\n", {"a", "b", ""}},
        LineCase{"NoFinalLineEnd", "a\r\nb", {"a", "b", ""}},
        LineCase{"Lf", "a\nb\n", {"a", "b", ""}},
        LineCase{"EmptyLineBeforeEnd", "a\r\n\r\n", {"a", ""}},
        LineCase{"LoneCrDropped", "a\rb\r\n", {"ab", ""}},
        LineCase{"CrCrLf", "a\r\r\nb", {"a", "b", ""}}, LineCase{"LoneCrAtEnd", "a\r", {"a", ""}},
        LineCase{"LfCrIsOneEndThenDroppedCr", "a\n\rb\n", {"a", "b", ""}},
        LineCase{"EmptyFile", "", {""}},
        LineCase{
            "ByteTwentySixEndsLineAndDropsRest", std::string("a\x1ax\r\nc\r\n"), {"a", "c", ""}},
        LineCase{"ByteTwentySixAtStartIsConsumed", std::string("\x1axyz\r\nb\r\n"), {"", "b", ""}},
        LineCase{"ByteTwentySixAlone", std::string("\x1a"), {""}},
        LineCase{"ByteTwentySixAfterLastLine", std::string("a\r\n\x1a"), {"a", ""}},
        LineCase{"NulKept", std::string("a\0b\r\n", 5), {std::string("a\0b", 3), ""}},
        LineCase{"EmptyLinesInside", "a\n\nb\n", {"a", "", "b", ""}},
        LineCase{"SeveralBytesTwentySixOnALine", "a\x1ax\x1ay\x1az\nmore\n", {"a", "more", ""}},
        LineCase{"ByteTwentySixAfterAnEmptyLine",
                 "a\n\n\x1a"
                 "b\nc\n",
                 {"a", "", "", "c", ""}},
        LineCase{"OnlyBytesTwentySix", "\x1a\x1a\x1a\r\nz", {"", "z", ""}},
        LineCase{"ByteTwentySixThenLoneCr", "a\x1a\rb\nc", {"a", "c", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

// A line as text, then its line end as <LF>, <CRLF> or <CR>, then "~" when bytes
// were cut out of it.
std::string Described(const TextLine& line) {
  static const char* const kEnds[] = {"", "<LF>", "<CRLF>", "<CR>"};
  return std::string(line.text) + kEnds[static_cast<int>(line.end)] + (line.cut ? "~" : "");
}

struct EndCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> dropped;   // a lone CR dropped
  std::vector<std::string> endsLine;  // a lone CR ends its line
};

class TextStreamLineEnds : public TextStreamTest, public ::testing::WithParamInterface<EndCase> {
 protected:
  std::vector<std::string> DescribeAll(LoneCr loneCr) {
    OpenReading(GetParam().bytes);
    std::vector<std::string> lines;
    std::string spare;
    TextLine line;
    for (int guard = 0; guard < 1000; ++guard) {
      ReadPhysicalLine(stream, spare, loneCr, line);
      if (line.text.empty() && line.end == LineEnd::None && !line.cut) return lines;
      lines.push_back(Described(line));
    }
    ADD_FAILURE() << "the end of the data was never reached";
    return lines;
  }
};

TEST_P(TextStreamLineEnds, SaysWhatEndedEveryPhysicalLine) {
  EXPECT_EQ(DescribeAll(LoneCr::Dropped), GetParam().dropped);
  CloseText(stream);
  EXPECT_EQ(DescribeAll(LoneCr::EndsLine), GetParam().endsLine);
}

INSTANTIATE_TEST_SUITE_P(
    Physical, TextStreamLineEnds,
    ::testing::Values(EndCase{"Lf", "a\nb\n", {"a<LF>", "b<LF>"}, {"a<LF>", "b<LF>"}},
                      EndCase{"CrLfThenNone", "a\r\nb", {"a<CRLF>", "b"}, {"a<CRLF>", "b"}},
                      EndCase{"Cr", "a\rb\r", {"ab~"}, {"a<CR>", "b<CR>"}},
                      EndCase{"LfCr", "a\n\rb", {"a<LF>", "b~"}, {"a<LF>", "<CR>", "b"}},
                      EndCase{"CrCrLf", "a\r\r\n", {"a<CRLF>~"}, {"a<CR>", "<CRLF>"}},
                      EndCase{"Cut",
                              "a\x1a\r\nb\x1a\x1a\rc\n",
                              {"a<CRLF>~", "b<LF>~"},
                              {"a<CRLF>~", "b<CR>~", "c<LF>"}},
                      EndCase{"CutToTheEnd", "a\x1axyz", {"a~"}, {"a~"}},
                      EndCase{"EmptyCut", "\x1a", {"~"}, {"~"}}, EndCase{"Empty", "", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextStreamTest, PlainLinesAreViewsOfTheBufferAndTheRestIsShown) {
  OpenReading("one\ntwo\r\nth\rree\n");
  std::string spare;
  TextLine line;
  ReadPhysicalLine(stream, spare, LoneCr::Dropped, line);
  EXPECT_EQ(line.text, "one");
  EXPECT_EQ(line.buffered, "one\ntwo\r\nth\rree\n");
  EXPECT_EQ(UnreadText(stream), "two\r\nth\rree\n");
  ReadPhysicalLine(stream, spare, LoneCr::Dropped, line);
  EXPECT_EQ(line.buffered.substr(0, line.text.size()), line.text);
  // Cut out of: gathered apart from the buffer.
  ReadPhysicalLine(stream, spare, LoneCr::Dropped, line);
  EXPECT_EQ(line.text, "three");
  EXPECT_EQ(line.text.data(), spare.data());
  EXPECT_TRUE(line.buffered.empty());
  EXPECT_TRUE(AtEndOfText(stream));
}

TEST_F(TextStreamTest, ConsumedTextIsNotReadAgain) {
  OpenReading("skip\nme\nkeep\n");
  ConsumeText(stream, 0);  // nothing fetched yet
  EXPECT_EQ(NextLine(stream), "skip");
  ConsumeText(stream, 3);
  EXPECT_EQ(NextLine(stream), "keep");
  ConsumeText(stream, 100);
  EXPECT_TRUE(AtEndOfText(stream));
}

TEST_F(TextStreamTest, RefillsAreCounted) {
  std::string bytes;
  for (int i = 0; i < 50000; ++i) bytes += "line " + std::to_string(i) + "\n";
  OpenReading(bytes);
  const std::uint64_t before = stream.fills;
  for (int i = 0; i < 50000; ++i) ASSERT_EQ(NextLine(stream), "line " + std::to_string(i));
  EXPECT_GE(stream.fills - before, bytes.size() / (std::size_t{64} << 10));
}

// Line ends and byte 26 placed across the boundaries of any plausible buffer size.
TEST_F(TextStreamTest, LineEndsAcrossBufferBoundaries) {
  for (std::size_t boundary : {128u, 4096u, 65536u, 131072u}) {
    for (std::size_t length = boundary - 3; length <= boundary + 2; ++length) {
      const std::string body(length, 'x');
      struct Case {
        std::string bytes;
        std::vector<std::string> lines;
      };
      const Case cases[] = {
          {body + "\r\nB\r\n", {body, "B", ""}},
          {body + "\nB\n", {body, "B", ""}},
          {body + "\rC\r\n", {body + "C", ""}},
          {body + "\r", {body, ""}},
          {body + "\r\r\nD", {body, "D", ""}},
          {body + "\x1a" + "junk\r\nE\r\n", {body, "E", ""}},
          {body + "\r\n\x1a" + "junk\r\nF\r\n", {body, "", "F", ""}},
          {body + "\x1a" + std::string(length, '\x1a') + "\nG\n", {body, "G", ""}},
          {body + "\x1a\x1a\r\x1a\r\nH", {body, "H", ""}},
      };
      for (const Case& c : cases) {
        OpenReading(c.bytes);
        EXPECT_EQ(ReadAllLines(), c.lines) << "length " << length;
        CloseText(stream);
        OpenReading(c.bytes);
        EXPECT_EQ(ReadAllLinesInTwoSteps(), c.lines) << "length " << length;
        CloseText(stream);
      }
    }
  }
}

TEST_F(TextStreamTest, LongLinesComeBackWhole) {
  for (std::size_t length : {255u, 256u, 100000u, 300000u}) {
    std::string line(length, 'q');
    line[length / 2] = '\0';
    OpenReading(line + "\r\n" + line + "\n");
    EXPECT_EQ(ReadTextLine(stream), line);
    SkipLineEnd(stream);
    EXPECT_EQ(ReadTextLine(stream), line);
    SkipLineEnd(stream);
    EXPECT_TRUE(AtEndOfText(stream));
    CloseText(stream);
  }
}

TEST_F(TextStreamTest, LastLineWithoutLineEndThenEndStaysEnd) {
  OpenReading("abc");
  EXPECT_EQ(ReadTextLine(stream), "abc");
  EXPECT_TRUE(AtEndOfText(stream));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadTextLine(stream), "");
    SkipLineEnd(stream);
    EXPECT_TRUE(AtEndOfText(stream));
  }
  EXPECT_EQ(PendingStreamError(), 0);
}

TEST_F(TextStreamTest, ReadTextLineLeavesTheLineEndForSkipLineEnd) {
  OpenReading("a\r\nb\nc");
  EXPECT_EQ(ReadTextLine(stream), "a");
  EXPECT_EQ(ReadTextLine(stream), "");  // still at the CR LF
  SkipLineEnd(stream);
  EXPECT_FALSE(AtEndOfText(stream));
  EXPECT_EQ(ReadTextLine(stream), "b");
  SkipLineEnd(stream);
  EXPECT_EQ(ReadTextLine(stream), "c");
  EXPECT_TRUE(AtEndOfText(stream));
}

TEST_F(TextStreamTest, ReadIntoReusesTheCallersString) {
  OpenReading("first line\r\nsecond\r\nthird one\r\n");
  std::string line;
  line.reserve(200);
  const char* storage = line.data();
  for (const char* expected : {"first line", "second", "third one"}) {
    ReadTextLineInto(stream, line);
    SkipLineEnd(stream);
    EXPECT_EQ(line, expected);
    EXPECT_EQ(line.data(), storage);
  }
}

TEST_F(TextStreamTest, WrittenBytesAreExact) {
  BindTextFile(stream, folder / "out.txt");
  OpenTextWrite(stream);
  ASSERT_EQ(stream.mode, TextStreamMode::Writing);
  EXPECT_FALSE(stream.lineFlush);
  WriteTextLine(stream, "");
  WriteTextLine(stream, std::string("a\0b\r\nc\n", 7));
  WriteTextBytes(stream, "raw");
  WriteTextLine(stream, "end");
  CloseText(stream);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_EQ(ReadFile(folder / "out.txt"), std::string("\r\na\0b\r\nc\n\r\nrawend\r\n", 19));
  EXPECT_EQ(PendingStreamError(), 0);
}

TEST_F(TextStreamTest, LargeTextsKeepTheirPlaceBetweenBufferedOnes) {
  std::string large(3 * 65536 + 17, 'L');
  for (std::size_t i = 0; i < large.size(); i += 1000) large[i] = static_cast<char>(i % 251);
  BindTextFile(stream, folder / "out.txt");
  OpenTextWrite(stream);
  WriteTextLine(stream, "head");
  WriteTextLine(stream, large);
  WriteTextBytes(stream, large);
  WriteTextLine(stream, "tail");
  CloseText(stream);
  EXPECT_EQ(ReadFile(folder / "out.txt"), "head\r\n" + large + "\r\n" + large + "tail\r\n");
}

TEST_F(TextStreamTest, ManyLinesRoundTrip) {
  std::string expected;
  BindTextFile(stream, folder / "out.txt");
  OpenTextWrite(stream);
  for (int i = 0; i < 20000; ++i) {
    const std::string line = "line " + std::to_string(i) + std::string(i % 97, '.');
    WriteTextLine(stream, line);
    expected += line + "\r\n";
  }
  CloseText(stream);
  ASSERT_EQ(ReadFile(folder / "out.txt"), expected);
  BindTextFile(stream, folder / "out.txt");
  OpenTextRead(stream);
  std::string line;
  for (int i = 0; i < 20000; ++i) {
    ReadTextLineInto(stream, line);
    SkipLineEnd(stream);
    ASSERT_EQ(line, "line " + std::to_string(i) + std::string(i % 97, '.'));
  }
  EXPECT_EQ(ReadTextLine(stream), "");
  EXPECT_TRUE(AtEndOfText(stream));
}

TEST_F(TextStreamTest, FlushPassesWaitingBytesOnAndKeepsTheStreamOpen) {
  BindTextFile(stream, folder / "out.txt");
  OpenTextWrite(stream);
  WriteTextLine(stream, "one");
  FlushText(stream);
  EXPECT_EQ(ReadFile(folder / "out.txt"), "one\r\n");
  EXPECT_EQ(stream.mode, TextStreamMode::Writing);
  WriteTextLine(stream, "two");
  CloseText(stream);
  EXPECT_EQ(ReadFile(folder / "out.txt"), "one\r\ntwo\r\n");
}

TEST_F(TextStreamTest, OpenWriteTruncatesAndReopeningClosesFirst) {
  WriteFile(folder / "a.txt", "old content that is longer");
  BindTextFile(stream, folder / "a.txt");
  OpenTextWrite(stream);
  WriteTextLine(stream, "new");
  stream.name = folder / "b.txt";
  OpenTextWrite(stream);  // the waiting bytes of a.txt go out first
  WriteTextLine(stream, "b");
  CloseText(stream);
  EXPECT_EQ(ReadFile(folder / "a.txt"), "new\r\n");
  EXPECT_EQ(ReadFile(folder / "b.txt"), "b\r\n");
}

TEST_F(TextStreamTest, BindingAnOpenStreamAgainLosesNoWaitingBytes) {
  BindTextFile(stream, folder / "first.txt");
  OpenTextWrite(stream);
  WriteTextLine(stream, "waiting");
  BindTextFile(stream, folder / "second.txt");
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_EQ(ReadFile(folder / "first.txt"), "waiting\r\n");
  OpenTextWrite(stream);
  WriteTextLine(stream, "next");
  CloseText(stream);
  EXPECT_EQ(ReadFile(folder / "second.txt"), "next\r\n");
  EXPECT_EQ(PendingStreamError(), 0);
}

TEST_F(TextStreamTest, CharacterDeviceTargetsAreFlushedLineByLine) {
  BindTextFile(stream, "/dev/null");
  OpenTextWrite(stream);
  ASSERT_EQ(stream.mode, TextStreamMode::Writing);
  EXPECT_TRUE(stream.lineFlush);
  WriteTextLine(stream, "x");
  EXPECT_EQ(stream.position, 0u);
}

TEST_F(TextStreamTest, FailedWriteLeavesCodeAndStreamOpen) {
  BindTextFile(stream, "/dev/full");
  OpenTextWrite(stream);
  ASSERT_EQ(stream.mode, TextStreamMode::Writing);
  WriteTextLine(stream, "lost");
  EXPECT_EQ(PendingStreamError(), 101);
  EXPECT_EQ(stream.mode, TextStreamMode::Writing);
  PendingStreamError() = 0;
  WriteTextBytes(stream, std::string(200000, 'z'));
  EXPECT_EQ(PendingStreamError(), 101);
  EXPECT_EQ(stream.position, 0u);
}

struct AppendCase {
  const char* name;
  std::string before;
  std::string after;  // the file once "new" has been appended as a line
};

class TextStreamAppend : public TextStreamTest, public ::testing::WithParamInterface<AppendCase> {};

TEST_P(TextStreamAppend, CutsAtTheFirstByteFourteenOfTheTail) {
  WriteFile(folder / "log.txt", GetParam().before);
  BindTextFile(stream, folder / "log.txt");
  OpenTextAppend(stream);
  ASSERT_EQ(stream.mode, TextStreamMode::Writing);
  WriteTextLine(stream, "new");
  CloseText(stream);
  EXPECT_EQ(ReadFile(folder / "log.txt"), GetParam().after);
  EXPECT_EQ(PendingStreamError(), 0);
}

const std::string kLong(200, 'x');

INSTANTIATE_TEST_SUITE_P(
    Tails, TextStreamAppend,
    ::testing::Values(
        AppendCase{"EmptyFile", "", "new\r\n"}, AppendCase{"NoMark", "old\r\n", "old\r\nnew\r\n"},
        AppendCase{"MarkCut",
                   "old\r\n\x0e"
                   "after\x0e",
                   "old\r\nnew\r\n"},
        AppendCase{"ByteTwentySixKept", "old\x1a", "old\x1anew\r\n"},
        AppendCase{"MarkBeforeTheTailStays", "\x0e" + kLong, "\x0e" + kLong + "new\r\n"},
        AppendCase{"MarkInTheTailOfALongFile", kLong + "\x0e" + kLong.substr(0, 127 - 1),
                   kLong + "new\r\n"},
        AppendCase{"MarkFirstByteOfTail", std::string("\x0e") + std::string(127, 'y'), "new\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextStreamTest, AppendNeedsAnExistingFile) {
  BindTextFile(stream, folder / "missing.txt");
  OpenTextAppend(stream);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_EQ(PendingStreamError(), 2);
  EXPECT_FALSE(std::filesystem::exists(folder / "missing.txt"));
}

TEST_F(TextStreamTest, PendingCodesOfAnOrdinaryClosedStream) {
  BindTextFile(stream, folder / "never.txt");
  EXPECT_EQ(ReadTextLine(stream), "");
  EXPECT_EQ(PendingStreamError(), 104);
  PendingStreamError() = 0;
  SkipLineEnd(stream);
  EXPECT_EQ(PendingStreamError(), 104);
  PendingStreamError() = 0;
  EXPECT_TRUE(AtEndOfText(stream));
  EXPECT_EQ(PendingStreamError(), 104);
  PendingStreamError() = 0;
  WriteTextLine(stream, "dropped");
  EXPECT_EQ(PendingStreamError(), 105);
  PendingStreamError() = 0;
  FlushText(stream);
  EXPECT_EQ(PendingStreamError(), 103);
  PendingStreamError() = 0;
  CloseText(stream);
  EXPECT_EQ(PendingStreamError(), 103);
  EXPECT_FALSE(std::filesystem::exists(folder / "never.txt"));
}

TEST_F(TextStreamTest, ReadingAWritingStreamOrWritingAReadingOne) {
  OpenReading("a\r\n");
  WriteTextLine(stream, "no");
  EXPECT_EQ(PendingStreamError(), 105);
  EXPECT_EQ(ReadFile(folder / "in.txt"), "a\r\n");
  CloseText(stream);
  BindTextFile(stream, folder / "out.txt");
  OpenTextWrite(stream);
  PendingStreamError() = 0;
  EXPECT_EQ(ReadTextLine(stream), "");
  EXPECT_EQ(PendingStreamError(), 104);
}

TEST_F(TextStreamTest, ClosedRoleStreamsFollowTheirOwnRules) {
  stream.role = TextStreamRole::Input;
  BindTextFile(stream, "");
  CloseText(stream);
  EXPECT_EQ(PendingStreamError(), 0);
  stream.role = TextStreamRole::Output;
  BindTextFile(stream, folder / "out.txt");
  FlushText(stream);
  EXPECT_EQ(PendingStreamError(), 0);
  CloseText(stream);
  EXPECT_EQ(PendingStreamError(), 103);
}

TEST_F(TextStreamTest, InputReopensItselfAtEveryRead) {
  stream.role = TextStreamRole::Input;
  BindTextFile(stream, folder / "later.txt");
  OpenTextRead(stream);
  EXPECT_EQ(PendingStreamError(), 2);
  EXPECT_EQ(ReadTextLine(stream), "");
  EXPECT_EQ(PendingStreamError(), 104);
  WriteFile(folder / "later.txt", "now here\r\n");
  PendingStreamError() = 0;
  EXPECT_EQ(ReadTextLine(stream), "now here");
  EXPECT_EQ(stream.mode, TextStreamMode::Reading);
  EXPECT_EQ(PendingStreamError(), 0);
}

TEST_F(TextStreamTest, InputReopensForTheEndTest) {
  stream.role = TextStreamRole::Input;
  WriteFile(folder / "in.txt", "x");
  BindTextFile(stream, folder / "in.txt");
  EXPECT_FALSE(AtEndOfText(stream));
  EXPECT_EQ(ReadTextLine(stream), "x");
}

TEST_F(TextStreamTest, OutputReopensItselfAtEveryWrite) {
  stream.role = TextStreamRole::Output;
  const std::string sub = folder / "sub";
  BindTextFile(stream, sub + "/out.txt");
  WriteTextLine(stream, "dropped");
  EXPECT_EQ(PendingStreamError(), 105);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  std::filesystem::create_directory(sub);
  PendingStreamError() = 0;
  WriteTextLine(stream, "kept");
  EXPECT_EQ(stream.mode, TextStreamMode::Writing);
  CloseText(stream);
  EXPECT_EQ(ReadFile(sub + "/out.txt"), "kept\r\n");
  EXPECT_EQ(PendingStreamError(), 0);
  // A closed output stream creates its file again at the next write.
  WriteTextLine(stream, "again");
  CloseText(stream);
  EXPECT_EQ(ReadFile(sub + "/out.txt"), "again\r\n");
}

TEST_F(TextStreamTest, OpenFailuresLeaveTheStreamClosedWithTheCode) {
  BindTextFile(stream, folder / "missing.txt");
  OpenTextRead(stream);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_EQ(PendingStreamError(), 2);
  PendingStreamError() = 0;
  BindTextFile(stream, folder.Path());
  OpenTextWrite(stream);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_NE(PendingStreamError(), 0);
}

TEST_F(TextStreamTest, CloseOfAReadingStreamThenReadIsNotOpen) {
  OpenReading("a\r\nb\r\n");
  EXPECT_EQ(ReadTextLine(stream), "a");
  CloseText(stream);
  EXPECT_EQ(stream.mode, TextStreamMode::Closed);
  EXPECT_EQ(PendingStreamError(), 0);
  EXPECT_EQ(ReadTextLine(stream), "");
  EXPECT_EQ(PendingStreamError(), 104);
}

TEST(IoErrorMessageTest, TableAndOtherCodes) {
  const std::pair<std::int32_t, const char*> table[] = {{2, "File not found"},
                                                        {3, "Invalid filename"},
                                                        {4, "Too many open files"},
                                                        {5, "File access denied"},
                                                        {100, "Read beyond end of file"},
                                                        {101, "Disk full"},
                                                        {106, "Invalid numeric input"},
                                                        {103, "I/O error 103"},
                                                        {1, "I/O error 1"},
                                                        {-7, "I/O error -7"},
                                                        {105, "I/O error 105"}};
  for (const auto& [code, message] : table) EXPECT_EQ(IoErrorMessage(code), message) << code;
}

TEST(CheckStreamErrorTest, RaisesThePendingCodeOnceAndClearsIt) {
  PendingStreamError() = 0;
  EXPECT_NO_THROW(CheckStreamError());
  PendingStreamError() = 103;
  try {
    CheckStreamError();
    FAIL() << "no failure raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Message(), "I/O error 103");
    EXPECT_EQ(failure.ErrorCode(), 103);
    EXPECT_STREQ(failure.ClassName(), "EInOutError");
  }
  EXPECT_EQ(PendingStreamError(), 0);
  EXPECT_NO_THROW(CheckStreamError());
}

TEST(PendingStreamErrorTest, IsHeldPerThread) {
  PendingStreamError() = 5;
  std::int32_t seenElsewhere = -1;
  std::thread other([&] {
    seenElsewhere = PendingStreamError();
    PendingStreamError() = 4;
  });
  other.join();
  EXPECT_EQ(seenElsewhere, 0);
  EXPECT_EQ(PendingStreamError(), 5);
  PendingStreamError() = 0;
}

TEST(ProcessStreamsTest, CloseWritesOutWaitingOutputInOrder) {
  TempFolder folder;
  PendingStreamError() = 0;
  WriteFile(folder / "in.txt", "in\r\n");
  BindTextFile(InputText(), folder / "in.txt");
  BindTextFile(OutputText(), folder / "out.txt");
  EXPECT_EQ(ReadTextLine(InputText()), "in");
  WriteTextLine(OutputText(), "waiting");
  CloseProcessStreams();
  EXPECT_EQ(ReadFile(folder / "out.txt"), "waiting\r\n");
  EXPECT_EQ(InputText().mode, TextStreamMode::Closed);
  EXPECT_EQ(OutputText().mode, TextStreamMode::Closed);
  BindTextFile(InputText(), "");
  BindTextFile(OutputText(), "");
  PendingStreamError() = 0;
}

}  // namespace
