// Line-by-line mode through the real executable: exact bytes written, the end of
// the input, the line filters and limits, and the failures that end a run.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using e2e::RunQuorve;
using e2e::RunResult;
using e2e::Shown;
using test_support::TempFolder;

std::string Repeat(const std::string& piece, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += piece;
  return result;
}

// Runs quiet line-by-line mode on in.txt (holding input) into out.txt; extra
// arguments come before the file name.
struct ModeRun {
  RunResult result;
  std::string output;
  bool outputExists = false;
};

ModeRun RunOnFile(const TempFolder& dir, const std::string& input, std::vector<std::string> args) {
  dir.Write("in.txt", input);
  std::vector<std::string> all{"-q", "-l", "-o=out.txt"};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back("in.txt");
  ModeRun run;
  run.result = RunQuorve(all, dir.path());
  run.outputExists = std::filesystem::exists(dir / "out.txt");
  if (run.outputExists) run.output = dir.Read("out.txt");
  return run;
}

std::string Processed(const std::string& input, std::vector<std::string> args = {}) {
  TempFolder dir;
  ModeRun run = RunOnFile(dir, input, std::move(args));
  EXPECT_EQ(run.result.exitCode, 0) << "standard error: " << run.result.err
                                    << "standard output: " << run.result.out;
  EXPECT_TRUE(run.outputExists);
  return run.output;
}

// ---------------------------------------------------------------- line table

struct LineCase {
  const char* name;
  std::string input;
  std::string expected;
};

class LineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTable, WritesEveryLineWithCrLfAndTheEmptyReadAtTheEnd) {
  EXPECT_EQ(Processed(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EndOfInput, LineTable,
    ::testing::Values(
        LineCase{"CrLf", "a\r\nb\r\n", "a\r\nb\r\n\r\n"},
        LineCase{"NoFinalLineEnd", "a\r\nb", "a\r\nb\r\n\r\n"},
        LineCase{"Lf", "a\nb\n", "a\r\nb\r\n\r\n"},
        LineCase{"LastLineEmpty", "a\r\n\r\n", "a\r\n\r\n"},
        LineCase{"LoneCrInsideDropped", "a\rb\r\n", "ab\r\n\r\n"},
        LineCase{"CrBeforeCrLf", "a\r\r\nb", "a\r\nb\r\n\r\n"},
        LineCase{"LoneCrAtEnd", "a\r", "a\r\n\r\n"},
        LineCase{"LfCrIsTwoBreaks", "a\n\rb\r\n", "a\r\nb\r\n\r\n"},
        LineCase{"Byte26DropsRestOfPhysicalLine", std::string("a\x1Ax\r\nc\r\n"), "a\r\nc\r\n\r\n"},
        LineCase{"Byte26OnLastLine", std::string("a\r\nb\x1Ayz"), "a\r\nb\r\n\r\n"},
        LineCase{"SeveralBytes26OnALine", "a\x1Ax\x1Ay\x1Az\nmore\n", "a\r\nmore\r\n\r\n"},
        LineCase{"Byte26StartsALineAfterAnEmptyLine",
                 "a\n\n\x1A"
                 "b\nc\n",
                 "a\r\n\r\n\r\nc\r\n\r\n"},
        LineCase{"OnlyBytes26", "\x1A\x1A\r\n\x1A", "\r\n\r\n"}, LineCase{"EmptyFile", "", "\r\n"},
        LineCase{"OnlyCrLf", "\r\n", "\r\n"},
        LineCase{"NulKept", std::string("a\0b\r\n\0\r\n", 8),
                 std::string("a\0b\r\n\0\r\n\r\n", 10)},
        LineCase{"HighBytesKept", "\xE5\xFF\x80\r\n", "\xE5\xFF\x80\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineByLine, StandardOutputGetsTheLinesWhenNoOutputFileIsSet) {
  TempFolder dir;
  dir.Write("in.txt", "one\ntwo");
  RunResult result = RunQuorve({"-q", "-l", "o=0", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "0ne\r\ntw0\r\n\r\n");
  EXPECT_EQ(dir.Read("in.txt"), "one\ntwo");
}

TEST(LineByLine, ManyLinesComeThroughWhole) {
  // Crosses several progress points; the progress line never reaches the output.
  std::string input;
  std::string expected;
  for (int i = 1; i <= 2500; ++i) {
    input += "line " + std::to_string(i) + "\n";
    expected += "LINE " + std::to_string(i) + "\r\n";
  }
  EXPECT_EQ(Processed(input, {"-c", "line=LINE"}), expected + "\r\n");
}

// A line holding bytes 26 on both sides of every buffer boundary a reader might
// use: the first 26 ends the text, the rest of the physical line goes, and the
// lines after it come through.
TEST(LineByLine, BytesTwentySixAcrossBlockBoundariesNeverEndTheRun) {
  TempFolder dir;
  std::string input;
  std::string expected;
  for (std::size_t boundary : {std::size_t{4096}, std::size_t{65536}, std::size_t{131072}}) {
    for (std::size_t runLength :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{70000}}) {
      const std::size_t textLength = boundary - input.size() % boundary - 3;
      const std::string text(textLength, 't');
      input += text + std::string(runLength, '\x1A') + "x\x1Ay\r\nnext\n";
      expected += text + "\r\nnext\r\n";
    }
  }
  for (const char* pairs : {"q=r", "t=t"}) {
    dir.Write("in.txt", input);
    RunResult result = RunQuorve({"-q", "-l", "-o=out.txt", pairs, "in.txt"}, dir.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(dir.Read("out.txt"), expected + "\r\n") << pairs;
  }
}

// ---------------------------------------------------------------- blank lines

TEST(LineByLine, LongRunOfBlankLinesInTheMiddleDoesNotEndTheRun) {
  const std::string blanks = Repeat("\r\n", 150);
  EXPECT_EQ(Processed("a\r\n" + blanks + "b\r\n"), "a\r\n" + blanks + "b\r\n\r\n");
  EXPECT_EQ(Processed("a\r\n" + blanks + "b\r\n", {"-m"}), "a\r\nb\r\n");
}

TEST(LineByLine, LinesEmptiedByThePairsDoNotEndTheRun) {
  EXPECT_EQ(Processed(Repeat("x\r\n", 150) + "y\r\n", {"x="}), Repeat("\r\n", 150) + "y\r\n\r\n");
}

TEST(LineByLine, EndTestLooksAtTheLineAfterThePairs) {
  // The last line becomes empty and the input is at its end: no further read.
  EXPECT_EQ(Processed("a\r\nx\r\n", {"x="}), "a\r\n\r\n");
  EXPECT_EQ(Processed("a\r\nx", {"x="}), "a\r\n\r\n");
  EXPECT_EQ(Processed("a\r\nx\r\n"), "a\r\nx\r\n\r\n");
}

// ---------------------------------------------------------------- limits

struct LimitCase {
  const char* name;
  const char* option;
  std::string expected;
};

class LineLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LineLimit, ProcessesExactlyTheGivenNumberOfLines) {
  EXPECT_EQ(Processed("1\r\n2\r\n3\r\n4\r\n5\r\n", {GetParam().option}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LineLimit,
    ::testing::Values(LimitCase{"Three", "-n=3", "1\r\n2\r\n3\r\n"},
                      LimitCase{"One", "-n=1", "1\r\n"}, LimitCase{"ZeroReadsOne", "-n=0", "1\r\n"},
                      LimitCase{"NegativeReadsOne", "-n=-4", "1\r\n"},
                      LimitCase{"NotANumberReadsOne", "-n=abc", "1\r\n"},
                      LimitCase{"Hexadecimal", "-n=x2", "1\r\n2\r\n"},
                      LimitCase{"AllLinesNoEndRead", "-n=5", "1\r\n2\r\n3\r\n4\r\n5\r\n"},
                      LimitCase{"EndReadIsTheSixth", "-n=6", "1\r\n2\r\n3\r\n4\r\n5\r\n\r\n"},
                      LimitCase{"BeyondTheInput", "-n=1000", "1\r\n2\r\n3\r\n4\r\n5\r\n\r\n"},
                      LimitCase{"Largest", "-n=2147483647", "1\r\n2\r\n3\r\n4\r\n5\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineByLine, LimitCountsDroppedLinesToo) {
  // Lines read count, not lines written.
  EXPECT_EQ(Processed("\r\na\r\n\r\nb\r\nc\r\n", {"-m", "-n=4"}), "a\r\nb\r\n");
  EXPECT_EQ(Processed("xa\r\nb\r\nxc\r\nxd\r\n", {"-m=^x", "-n=3"}), "xa\r\nxc\r\n");
}

TEST(LineByLine, LimitOnlySwitchesTheModeOn) {
  TempFolder dir;
  dir.Write("in.txt", "a\nb\nc\n");
  RunResult result = RunQuorve({"-q", "-n=2", "-o=out.txt", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir.Read("out.txt"), "a\r\nb\r\n");
}

// ---------------------------------------------------------------- filters

TEST(LineByLine, MatchOnlyDropsEmptyLines) {
  EXPECT_EQ(Processed("a\r\n\r\nb\r\n", {"-m"}), "a\r\nb\r\n");
  EXPECT_EQ(Processed("", {"-m"}), "");
  EXPECT_EQ(Processed("\r\n\r\n", {"-m"}), "");
  // -m looks at the line as read: a line emptied by the pairs is still written.
  EXPECT_EQ(Processed("a\r\nx\r\nb\r\n", {"-m", "x="}), "a\r\n\r\nb\r\n");
}

TEST(LineByLine, FilterKeepsMatchingLinesAndEveryEmptyLine) {
  EXPECT_EQ(Processed("xa\r\nb\r\n\r\nxc\r\nbx\r\n", {"-m=^x"}), "xa\r\n\r\nxc\r\n\r\n");
  EXPECT_EQ(Processed("xa\r\nb\r\n\r\nxc\r\n", {"-m=^x", "-m"}), "xa\r\nxc\r\n");
}

TEST(LineByLine, FilterTestsTheLineBeforeThePairs) {
  EXPECT_EQ(Processed("xa\r\nya\r\n", {"-m=^x", "-m", "x=y"}), "ya\r\n");
  EXPECT_EQ(Processed("xa\r\nya\r\n", {"-m=^y", "-m", "x=y"}), "ya\r\n");
}

TEST(LineByLine, FilterIsCaseSensitiveUnlessItSwitchesItself) {
  EXPECT_EQ(Processed("Ab\r\nab\r\n", {"-m=^a", "-m"}), "ab\r\n");
  EXPECT_EQ(Processed("Ab\r\nab\r\n", {"-m=(?i)^a", "-m"}), "Ab\r\nab\r\n");
  // -c is for plain pairs only.
  EXPECT_EQ(Processed("Ab\r\nab\r\n", {"-c", "-m=^a", "-m"}), "ab\r\n");
}

// ---------------------------------------------------------------- pairs

TEST(LineByLine, PairsApplyInOrderEachOnThePreviousResult) {
  EXPECT_EQ(Processed("abc\r\n", {"a=b", "b=c"}), "ccc\r\n\r\n");
  EXPECT_EQ(Processed("abc\r\n", {"b=c", "a=b"}), "bcc\r\n\r\n");
}

TEST(LineByLine, CaseFlagTogglesPlainSearch) {
  EXPECT_EQ(Processed("aA\r\n", {"a=x"}), "xx\r\n\r\n");
  EXPECT_EQ(Processed("aA\r\n", {"-c", "a=x"}), "xA\r\n\r\n");
  EXPECT_EQ(Processed("aA\r\n", {"-c", "-c", "a=x"}), "xx\r\n\r\n");
}

TEST(LineByLine, ReplacementMayHoldLineBreaksAndNul) {
  EXPECT_EQ(Processed("a-b\r\n", {"-=\\r\\n"}), "a\r\nb\r\n\r\n");
  EXPECT_EQ(Processed("a-b\r\n", {"-=\\x00"}), std::string("a\0b\r\n\r\n", 7));
  EXPECT_EQ(Processed(std::string("a\0b\r\n", 5), {"\\x00=+"}), "a+b\r\n\r\n");
}

TEST(LineByLine, RegexReplacesWithTemplates) {
  EXPECT_EQ(Processed("ab\r\nb\r\n", {"-r", "(a)(b)=$2$1"}), "ba\r\nb\r\n\r\n");
  // Empty lines are left alone, though "^" would match them.
  EXPECT_EQ(Processed("a\r\n\r\nb\r\n", {"-r", "^=>"}), ">a\r\n\r\n>b\r\n\r\n");
}

TEST(LineByLine, RegexWithMatchOnlyNeedsEveryPairToMatch) {
  const std::string input = "ab\r\na\r\nb\r\n\r\nba\r\n";
  EXPECT_EQ(Processed(input, {"-r", "-m", "a=X", "b=Y"}), "XY\r\nYX\r\n");
  // The second pair sees the first one's result.
  EXPECT_EQ(Processed(input, {"-r", "-m", "a=b", "bb=Z"}), "Z\r\nZ\r\n");
  EXPECT_EQ(Processed(input, {"-r", "a=X", "b=Y"}), "XY\r\nX\r\nY\r\n\r\nYX\r\n\r\n");
}

TEST(LineByLine, RegexMatchOnlyDoesNotOverruleTheFilter) {
  EXPECT_EQ(Processed("ab\r\nxab\r\n", {"-m=^x", "-r", "-m", "a=A"}), "xAb\r\n");
}

// ---------------------------------------------------------------- header, footer

TEST(LineByLine, HeaderAndFooterFrameTheLines) {
  EXPECT_EQ(Processed("a\r\n", {"-h=HEAD", "-f=FOOT"}), "HEAD\r\na\r\n\r\nFOOT\r\n");
  EXPECT_EQ(Processed("", {"-m", "-h=HEAD", "-f=FOOT"}), "HEAD\r\nFOOT\r\n");
  // A header with a line break stays one written line; the pairs do not touch it.
  EXPECT_EQ(Processed("x\r\n", {"-h=x\\ny", "x=z"}), "x\ny\r\nz\r\n\r\n");
  EXPECT_EQ(Processed("a\r\n", {"-h=", "-f="}), "a\r\n\r\n");
}

TEST(LineByLine, HeaderIsWrittenEvenWhenTheFilterDropsEveryLine) {
  EXPECT_EQ(Processed("a\r\nb\r\n", {"-m=^z", "-m", "-h=H"}), "H\r\n");
}

// ---------------------------------------------------------------- options

TEST(LineByLine, NewlineAndZeroOptionsHaveNoEffect) {
  const std::string input = std::string("a\0b\nc\r\n", 7);
  const std::string plain = Processed(input);
  EXPECT_EQ(plain, std::string("a\0b\r\nc\r\n\r\n", 10));
  EXPECT_EQ(Processed(input, {"--unix"}), plain);
  EXPECT_EQ(Processed(input, {"-dos"}), plain);
  EXPECT_EQ(Processed(input, {"-0"}), plain);
  EXPECT_EQ(Processed(input, {"-0=x02"}), plain);
}

TEST(LineByLine, WriteWithoutOutputFileGoesBesideTheInput) {
  for (const char* quiet : {"-v", "-q"}) {
    TempFolder dir;
    dir.Write("in.txt", "cat\r\n");
    RunResult result = RunQuorve({quiet, "-l", "-w", "cat=dog", "in.txt"}, dir.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(dir.Read("in.txt.output"), "dog\r\n\r\n");
    EXPECT_EQ(dir.Read("in.txt"), "cat\r\n");
  }
}

// ---------------------------------------------------------------- kept line ends

struct KeptCase {
  const char* name;
  std::string input;
  std::vector<std::string> args;
  std::string expected;
};

class KeptLineEnds : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptLineEnds, EndEachLineAsTheInputDid) {
  std::vector<std::string> args{"--keep-eol"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  EXPECT_EQ(Processed(GetParam().input, args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, KeptLineEnds,
    ::testing::Values(
        KeptCase{"Lf", "a\nb\n", {"x=y"}, "a\nb\n"},
        KeptCase{"CrLf", "a\r\nb\r\n", {"x=y"}, "a\r\nb\r\n"},
        KeptCase{"Cr", "a\rb\r", {"x=y"}, "a\rb\r"},
        KeptCase{"NoFinalLineEnd", "a\nb", {"x=y"}, "a\nb"},
        KeptCase{"OneLineNoEnd", "abc", {}, "abc"}, KeptCase{"EmptyFile", "", {}, ""},
        KeptCase{"BlankLines", "a\n\n\nb\n\n", {}, "a\n\n\nb\n\n"},
        KeptCase{"Matched", "cat\ndog\n", {"cat=cow"}, "cow\ndog\n"},
        KeptCase{"LastLineEmptied", "a\nx", {"x="}, "a\n"},
        KeptCase{"MixedTakeTheFirst", "a\r\nb\nc\rd", {}, "a\r\nb\r\nc\r\nd"},
        KeptCase{"MadeLineEndsTakeTheStyle", "a-b\nc\n", {"-=\\r\\n"}, "a\nb\nc\n"},
        KeptCase{"MadeLineEndsInCrLf", "a-b+c\r\n", {"-=\\n", "+=\\r"}, "a\r\nb\r\nc\r\n"},
        KeptCase{"MadeLineEndsWithoutAnyInTheInput", "a-b", {"-=\\n"}, "a\r\nb"},
        KeptCase{"UnixWins", "a\r\nb\r\n", {"--unix"}, "a\nb\n"},
        KeptCase{"UnixWinsNoFinalEnd", "a\rb", {"--unix"}, "a\nb"},
        KeptCase{"HeaderAndFooter", "a\nb\n", {"-h=H", "-f=F"}, "H\na\nb\nF\n"},
        KeptCase{"FooterAfterAnOpenLastLine", "a\r\nb", {"-h=H", "-f=F"}, "H\r\na\r\nb\r\nF"},
        KeptCase{"HeaderOfAnEmptyFile", "", {"-h=H"}, "H\r\n"},
        KeptCase{"FooterOfAnEmptyFile", "", {"-h=H", "-f=F"}, "H\r\nF\r\n"},
        KeptCase{"MatchOnlyDropsEmptyLines", "a\n\nb\n", {"-m"}, "a\nb\n"},
        KeptCase{"StyleOfADroppedLine", "\r\n\nab\nc", {"-m"}, "ab\r\nc"},
        KeptCase{"Filter", "xa\nb\nxc", {"-m=^x", "-m"}, "xa\nxc"},
        KeptCase{"Limit", "1\n2\n3\n", {"-n=2"}, "1\n2\n"},
        KeptCase{"Byte26", "a\x1Ax\nb\n", {}, "a\nb\n"},
        KeptCase{"EndOfFileMark", "a\r\nb\r\n\x1A", {}, "a\r\nb\r\n"},
        KeptCase{"NulKept", std::string("a\0b\n", 4), {}, std::string("a\0b\n", 4)},
        KeptCase{"Expression", "ab\nc\n", {"-r", "b=X"}, "aX\nc\n"},
        KeptCase{"ExpressionOnCrLines", "ab\rcb\r", {"-r", "b=X"}, "aX\rcX\r"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineByLine, KeptLineEndsOnStandardOutput) {
  TempFolder dir;
  dir.Write("in.txt", "one\ntwo");
  RunResult result = RunQuorve({"-q", "-l", "--keep-eol", "o=0", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "0ne\ntw0");
}

// With kept line ends a run that changes nothing does not replace its input at
// all: the file keeps its identity and its time.
TEST(LineByLine, UnchangedInputIsNotReplaced) {
  namespace fs = std::filesystem;
  for (const std::string input : {"a\nb\n", "a\r\nb", "a\rb\r", "", "one line"}) {
    SCOPED_TRACE(testing::PrintToString(input));
    TempFolder dir;
    dir.Write("in.txt", input);
    const auto old = fs::last_write_time(dir / "in.txt") - std::chrono::hours(48);
    fs::last_write_time(dir / "in.txt", old);
    struct stat before {};
    ASSERT_EQ(stat((dir / "in.txt").c_str(), &before), 0);
    RunResult result =
        RunQuorve({"-q", "-l", "--keep-eol", "-o=in.txt", "cat=dog", "in.txt"}, dir.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    struct stat after {};
    ASSERT_EQ(stat((dir / "in.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(fs::last_write_time(dir / "in.txt"), old);
    EXPECT_EQ(dir.Read("in.txt"), input);
    EXPECT_EQ(test_support::EntryCount(dir.path()), 1u);
  }
}

TEST(LineByLine, ChangedInputIsReplaced) {
  TempFolder dir;
  for (const auto& [input, args, expected] :
       std::vector<std::tuple<std::string, std::vector<std::string>, std::string>>{
           {"a cat\n", {"cat=dog"}, "a dog\n"},
           {"a\r\nb\n", {}, "a\r\nb\r\n"},  // two styles: the first one wins
           {"a\nb\n", {"-n=1"}, "a\n"},
           {"a\nb\n", {"-h=H"}, "H\na\nb\n"},
           {"a\x1Ax\n", {}, "a\n"}}) {
    dir.Write("in.txt", input);
    std::vector<std::string> all{"-q", "-l", "--keep-eol", "-o=in.txt"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("in.txt");
    RunResult result = RunQuorve(all, dir.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(dir.Read("in.txt"), expected) << testing::PrintToString(input);
  }
}

// ---------------------------------------------------------------- console

TEST(LineByLineTerminal, NoticesThenProgressInOrderNeverInTheOutput) {
  TempFolder dir;
  std::string input;
  for (int i = 0; i < 2500; ++i) input += "x\n";
  dir.Write("in.txt", input);
  auto run = e2e::RunQuorveOnTerminal({"-l", "-w", "in.txt"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.terminal;
  const std::string full = Shown(dir, "in.txt");
  const std::string tty = e2e::ScreenText(run.terminal);
  const std::size_t banner = tty.find("Quorve tool v1.17  (in)");
  const std::size_t inputNotice = tty.find(full, banner);
  const std::size_t mustBeSet = tty.find("In Line-by-line mode output file must be set!");
  const std::size_t outputsTo = tty.find("Outputs to: " + full + ".output");
  const std::size_t first = tty.find("Processing line: #999(1000)");
  const std::size_t second = tty.find("Processing line: #1999(2000)");
  ASSERT_NE(banner, std::string::npos) << tty;
  EXPECT_LT(banner, inputNotice);
  EXPECT_LT(inputNotice, mustBeSet);
  EXPECT_LT(mustBeSet, outputsTo);
  EXPECT_LT(outputsTo, first);
  EXPECT_LT(first, second);
  EXPECT_NE(second, std::string::npos) << tty;
  EXPECT_EQ(tty.find("(3000)"), std::string::npos);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(dir.Read("in.txt.output"), Repeat("x\r\n", 2500) + "\r\n");
}

TEST(LineByLineTerminal, QuietStillShowsWhereTheOutputWent) {
  TempFolder dir;
  dir.Write("in.txt", "a\n");
  auto run = e2e::RunQuorveOnTerminal({"-q", "-l", "-w", "in.txt"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.terminal;
  const std::string full = Shown(dir, "in.txt");
  const std::string tty = e2e::ScreenText(run.terminal);
  const std::size_t mustBeSet = tty.find("In Line-by-line mode output file must be set!");
  EXPECT_NE(mustBeSet, std::string::npos) << tty;
  EXPECT_NE(tty.find("Outputs to: " + full + ".output"), std::string::npos);
  // No banner and no input notice ahead of them.
  EXPECT_EQ(tty.find("Quorve tool"), std::string::npos) << tty;
  EXPECT_GT(tty.find(full), mustBeSet);
}

TEST(LineByLine, WriteWithOutputFileUsesIt) {
  TempFolder dir;
  dir.Write("in.txt", "cat\r\n");
  RunResult result = RunQuorve({"-q", "-l", "-w", "-o=o.txt", "cat=dog", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir.Read("o.txt"), "dog\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "in.txt.output"));
}

TEST(LineByLine, OutputFileIsTruncated) {
  TempFolder dir;
  dir.Write("out.txt", Repeat("old content\r\n", 100));
  ModeRun run = RunOnFile(dir, "new\r\n", {});
  EXPECT_EQ(run.result.exitCode, 0);
  EXPECT_EQ(run.output, "new\r\n\r\n");
}

TEST(LineByLine, SecondFileNameIsTheOutputFile) {
  TempFolder dir;
  dir.Write("in.txt", "a\n");
  RunResult result = RunQuorve({"-q", "-l", "a=b", "in.txt", "second.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir.Read("second.txt"), "b\r\n\r\n");
}

TEST(LineByLine, OutputOverTheInputReplacesItWithoutLosingIt) {
  TempFolder dir;
  const std::string input = Repeat("cat and cat\n", 5000);
  dir.Write("in.txt", input);
  RunResult result = RunQuorve({"-q", "-l", "cat=dog", "-o=in.txt", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir.Read("in.txt"), Repeat("dog and dog\r\n", 5000) + "\r\n");
  // No temporary file is left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(LineByLine, LongLinesComeBackWhole) {
  for (int length : {255, 256, 100000}) {
    SCOPED_TRACE(length);
    const std::string a(length, 'a');
    const std::string b(length, 'b');
    EXPECT_EQ(Processed(a + "\r\n" + a, {"a=b"}), b + "\r\n" + b + "\r\n\r\n");
  }
}

// ---------------------------------------------------------------- failures

TEST(LineByLine, MissingInputIsAnError) {
  TempFolder dir;
  RunResult result = RunQuorve({"-q", "-l", "a=b", "missing.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 1);
  const std::string full = Shown(dir, "missing.txt");
  EXPECT_NE(result.out.find("Error: File not found: " + full), std::string::npos) << result.out;
}

TEST(LineByLine, FolderAsInputIsNotFound) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "sub");
  RunResult result = RunQuorve({"-q", "-l", "sub"}, dir.path());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.out.find("Error: File not found: "), std::string::npos) << result.out;
}

TEST(LineByLine, OutputThatCannotBeCreatedIsReported) {
  TempFolder dir;
  dir.Write("in.txt", "a\r\n");
  RunResult result = RunQuorve({"-q", "-l", "-o=nofolder/out.txt", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 1);
  const std::string full = Shown(dir, "nofolder/out.txt");
  EXPECT_NE(result.err.find("EFCreateError"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Cannot create file \"" + full + "\". "), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("I/O error"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(dir.Read("in.txt"), "a\r\n");
}

TEST(LineByLine, InputThatCannotBeOpenedIsReported) {
  TempFolder dir;
  const std::string unreadable = e2e::UnreadableFile(dir);
  if (unreadable.empty()) {
    GTEST_SKIP() << "running as root and no file here refuses root's reading";
  }
  RunResult result = RunQuorve({"-q", "-l", "-o=out.txt", unreadable}, dir.path());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("EFOpenError"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Cannot open file \"" + e2e::ProgramPath(unreadable) + "\". "),
            std::string::npos)
      << result.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
  EXPECT_EQ(result.out, "");
}

TEST(LineByLine, FullDiskIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  TempFolder dir;
  for (const std::string& input : {std::string("a\r\n"), Repeat("0123456789\r\n", 100000)}) {
    dir.Write("in.txt", input);
    RunResult result = RunQuorve({"-q", "-l", "-o=/dev/full", "in.txt"}, dir.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("EInOutError"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Disk full"), std::string::npos) << result.err;
  }
}

TEST(LineByLine, InvalidFilterIsReportedAfterKeepingWhatWentToStandardOutput) {
  TempFolder dir;
  dir.Write("in.txt", "\r\nz\r\n");
  RunResult result = RunQuorve({"-q", "-l", "-h=HEAD", "-m=(z", "in.txt"}, dir.path());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("ERegExpr"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("EInOutError"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "HEAD\r\n\r\n");
}

// ---------------------------------------------------------------- output files written whole

struct FailureCase {
  const char* name;
  std::vector<std::string> args;
};

class FailedRun : public ::testing::TestWithParam<FailureCase> {
 protected:
  // A failure met at line 1000: every line before it has been processed.
  static std::string Input() { return Repeat("\r\n", 999) + "za\r\nmore\r\n"; }
  static RunResult Run(const TempFolder& dir, const std::string& output) {
    std::vector<std::string> args{"-q", "-l", "-o=" + output};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back("in.txt");
    return RunQuorve(args, dir.path());
  }
};

TEST_P(FailedRun, LeavesAnOldOutputFileAsItWas) {
  TempFolder dir;
  dir.Write("in.txt", Input());
  dir.Write("out.txt", "old\r\n");
  RunResult result = Run(dir, "out.txt");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(dir.Read("out.txt"), "old\r\n");
  EXPECT_EQ(test_support::EntryCount(dir.path()), 2u);  // nothing left beside it
}

TEST_P(FailedRun, MakesNoNewOutputFile) {
  TempFolder dir;
  dir.Write("in.txt", Input());
  RunResult result = Run(dir, "out.txt");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(test_support::EntryCount(dir.path()), 1u);
}

TEST_P(FailedRun, LeavesTheInputAsItWasWhenItIsTheOutput) {
  TempFolder dir;
  dir.Write("in.txt", Input());
  RunResult result = Run(dir, "in.txt");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(dir.Read("in.txt"), Input());
  EXPECT_EQ(test_support::EntryCount(dir.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedRun,
                         ::testing::Values(FailureCase{"InvalidFilter", {"-m=(z"}},
                                           FailureCase{"InvalidExpressionPair", {"-r", "a[=x"}},
                                           FailureCase{"InvalidExpressionPairWithMatchOnly",
                                                       {"-r", "-m", "(a=x"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineByLine, AWriteThatFailsPartWayLeavesTheOldOutputFile) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "a file size limit is a POSIX means";
  TempFolder dir;
  dir.Write("in.txt", Repeat("0123456789abcdef\n", 40000));
  dir.Write("out.txt", "old\r\n");
  // Writes past 256 KiB fail (and raise no signal), as on a disk that is full.
  struct rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit limited = before;
  limited.rlim_cur = 256 << 10;
  const sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  RunResult result = RunQuorve({"-q", "-l", "-o=out.txt", "in.txt"}, dir.path());
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("EInOutError"), std::string::npos) << result.err;
  EXPECT_EQ(dir.Read("out.txt"), "old\r\n");
  EXPECT_EQ(test_support::EntryCount(dir.path()), 2u);
}

// Standard output into a pipe whose reading end is already closed.
TEST(LineByLine, ClosedPipeIsAFailedWrite) {
  TempFolder dir;
  dir.Write("in.txt", Repeat("0123456789abcdef\r\n", 200000));
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  const std::string errName = dir / "err.txt";
  int errFd = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int inFd = open("/dev/null", O_RDONLY);
  ASSERT_GE(errFd, 0);
  ASSERT_GE(inFd, 0);
  const int exitCode = e2e::SpawnQuorve({"-q", "-l", "in.txt"}, dir.path(), inFd, fds[1], errFd);
  close(fds[1]);
  close(errFd);
  close(inFd);
  EXPECT_EQ(exitCode, 1);
  EXPECT_NE(dir.Read("err.txt").find("EInOutError"), std::string::npos) << dir.Read("err.txt");
}

}  // namespace
