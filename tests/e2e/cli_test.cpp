// The command line, the screen messages and the exit codes, through the real program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using e2e::RunQuorve;
using e2e::RunQuorveOnTerminal;
using e2e::Shown;
using test_support::TempFolder;

const std::string kCrLf = "\r\n";

std::string HelpPage() {
  const std::vector<std::string> lines = {
      "",
      "Options include (v1.17)",
      "-c (--case_sensitive)\tdefault is not case sensitive",
      "-q (--quiet)\tshow less on screen",
      "-l (--line-by-line)\tdo search replace line-by-line (useful for huge files)",
      "-r (--regexp)\tsearch is a regexp replaced by regexp",
      "-m (--match)\toutput only matched lines from regexp above",
      "-w (--write)\toverwrite input file with replaced content",
      "--unix\tunix newline (\\n instead of \\r\\n)",
      "",
      "-h=header (--header)\tadd row(s) at top",
      "-f=footer (--footer)\tadd row(s) at bottom",
      "-o=output (--out)\toutput to file, default is input file changed! (with -w flag)",
      "-m=regexp (--match)\tonly regexpr matched input lines",
      "-n=number (--number-of-lines)\tonly first n lines (only with -l flag)",
      "-k=number (--occurrence)\tonly replace n match (default all)",
      "-0[=x01]  (--zero)\tallow hex00 in textfile, replaced with \\x01 at fileread (default "
      "\\x01)",
      "",
      "search is the string to search for and replace with replace string",
      "many search/replace pairs can be defiend",
      "if search or replace is a file, the content from that file is used",
      "search/replace string can include (not in --regexp):",
      "\\n  = new line       #10",
      "\\r  = carrige return #13",
      "\\t  = tab char       #9",
      "\\z  = end-of-file    #26",
      "\\x00= character with hexcode 00, 2 characters! (only uppercase)",
      "\\s00= n spaces, n=2 character hex number, (\\sFF=256 spaces, only uppercase)",
      "\\\\  = \\",
      "\\'  = '",
      "\\q  = \" (also in --regexp) (or \\!)",
      "\\e  = = (equal sign, also in --regexp)",
      "",
      "https://en.wikipedia.org/wiki/Regular_expression",
      "",
      "Latest version from: https://quorve.example.org/",
      "Feedback: quorve@example.org (subject: quorve feedback)",
      "",
      "--keep-eol\tkeep the input's own line ends (LF, CR LF or CR); --unix wins",
      "--version\tshow the version and the regular-expression engines, then stop",
      "--diff\twrite nothing; show what would change as a unified diff (for patch)",
      "--stats\tafter the run: replacements per pair and lines changed, on standard error",
      "--must-match\texit code 2, and no file written, when no pair matched anything",
      "-k=n\teach pair replaces only its first n matches (per line with -l); 0: all",
      "-\tas input: standard input; as output (or -o=-): standard output; ./- is a file "
      "(e.g. ls | quorve a=b -)",
      "*, ?\tin an input name: each matching file of its folder, in name order (e.g. "
      "quorve -w a=b \"*.txt\")",
      "--\tevery argument after it is an input file name (e.g. quorve -w a=b -- x=y.txt "
      "b.txt)",
      "--files-from=list\tinput file names from the list, one a line, - for standard input "
      "(e.g. find . -name \"*.c\" | quorve -w a=b --files-from=-)",
      "--recursive\ta folder name or wildcard takes in every folder below too, not those "
      "starting with . (e.g. quorve -w --recursive a=b src)",
      "--jobs=n\tfiles processed at once, default one per processor, four with -w (e.g. "
      "--jobs=1); a binary file (byte 0 in its first 64 KiB) is skipped unless -0",
      "",
      "exit codes: 0 done, 1 failure, 2 nothing matched (only with --must-match)",
      "",
      "in a UTF-8 locale letters beyond ASCII ignore case too (Unicode simple case folding):",
      "in plain searches, and under (?i) in --regexp where written as letters;",
      "a class [...] and a repeated last byte of a letter keep their byte meaning",
  };
  std::string page;
  for (const auto& line : lines) page += line + kCrLf;
  return page;
}

std::string NotFound(const std::string& fullPath) {
  return "Error: File not found: " + fullPath + kCrLf;
}

TEST(Cli, NoArgumentsReportsTheMissingInputAndFails) {
  TempFolder dir;
  auto run = RunQuorve({}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, NotFound(""));
  EXPECT_EQ(run.err, "");
}

TEST(Cli, EveryHelpFormWritesTheHelpPageAndSucceeds) {
  TempFolder dir;
  for (const char* form : {"-?", "/?", "?", "--help", "--HELP"}) {
    SCOPED_TRACE(form);
    auto run = RunQuorve({form}, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, HelpPage());
    EXPECT_EQ(run.err, "");
  }
}

TEST(Cli, HelpGivenTwiceCancelsItself) {
  TempFolder dir;
  auto run = RunQuorve({"-?", "-?"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, NotFound(""));
}

TEST(Cli, HelpWithAnInputFileProcessesNothing) {
  TempFolder dir;
  dir.Write("pets.txt", "cat\r\n");
  auto run = RunQuorve({"-w", "cat=dog", "-?", "pets.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, HelpPage());
  EXPECT_EQ(dir.Read("pets.txt"), "cat\r\n");
}

TEST(Cli, ThirdFileNameShowsTheHelpPageBeforeAnythingIsProcessed) {
  TempFolder dir;
  dir.Write("a.txt", "cat\r\n");
  auto run = RunQuorve({"-w", "cat=dog", "a.txt", "b.txt", "c.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, HelpPage());
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.Read("a.txt"), "cat\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "b.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "c.txt"));
}

TEST(Cli, ShowOnlyReadsAndWritesNothing) {
  TempFolder dir;
  dir.Write("pets.txt", "cat\r\n");
  auto withoutFile = RunQuorve({"-s", "cat=dog", "a=b"}, dir.path());
  EXPECT_EQ(withoutFile.exitCode, 0);
  EXPECT_EQ(withoutFile.out, "");
  EXPECT_EQ(withoutFile.err, "");

  auto withFile = RunQuorve({"--SHOW", "-w", "cat=dog", "pets.txt", "out.txt"}, dir.path());
  EXPECT_EQ(withFile.exitCode, 0);
  EXPECT_EQ(withFile.out, "");
  EXPECT_EQ(dir.Read("pets.txt"), "cat\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
}

TEST(Cli, MissingInputFileIsReportedWithItsFullPathInEitherMode) {
  TempFolder dir;
  const std::vector<std::vector<std::string>> runs = {
      {"cat=dog", "missing.txt"},   {"-q", "cat=dog", "missing.txt"}, {"-q", "-q", "missing.txt"},
      {"-l", "sub/../missing.txt"}, {"-n=5", "./missing.txt"},
  };
  for (const auto& args : runs) {
    SCOPED_TRACE(args.front());
    auto run = RunQuorve(args, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, NotFound(Shown(dir, "missing.txt")));
    EXPECT_EQ(run.err, "");
  }
}

TEST(Cli, CaseToggleAndPairsReachTheWholeFileRun) {
  TempFolder dir;
  dir.Write("pets.txt", "Cat cat\r\ncat\n");
  auto sensitive = RunQuorve({"-c", "cat=dog", "pets.txt"}, dir.path());
  EXPECT_EQ(sensitive.exitCode, 0);
  EXPECT_EQ(sensitive.out, "Cat dog\r\ndog\r\n\r\n");
  auto toggledBack = RunQuorve({"-c", "-C", "cat=dog", "pets.txt"}, dir.path());
  EXPECT_EQ(toggledBack.exitCode, 0);
  EXPECT_EQ(toggledBack.out, "dog dog\r\ndog\r\n\r\n");
}

TEST(Cli, DecodedPairsApplyInOrderAcrossLineEnds) {
  TempFolder dir;
  dir.Write("pets.txt", "cat\r\ndog\r\n");
  dir.Write("search.txt", "dog\n");
  auto run = RunQuorve({"cat\\r\\n=\\x41\\s02", "A=\\q", "search.txt=bird\\e\\r\\n", "pets.txt"},
                       dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "\"  bird=\r\n\r\n");
}

TEST(Cli, PairsDecodedBeforeRegexFlagKeepPlainEscapes) {
  TempFolder dir;
  dir.Write("text.txt", "ab [ab]\r\n");
  // Decoded plainly, \x5B and \x5D are brackets, which the expression reads as a class.
  auto plainFirst = RunQuorve({"\\x5Bab\\x5D=!", "-r", "text.txt"}, dir.path());
  EXPECT_EQ(plainFirst.exitCode, 0);
  EXPECT_EQ(plainFirst.out, "!! [!!]\r\n\r\n");
  // Given after -r, the escapes reach the engine, which reads them as literal brackets.
  auto regexFirst = RunQuorve({"-r", "\\x5Bab\\x5D=!", "text.txt"}, dir.path());
  EXPECT_EQ(regexFirst.exitCode, 0);
  EXPECT_EQ(regexFirst.out, "ab !\r\n\r\n");
}

TEST(Cli, DoubledBackslashInRegexModeMatchesOneBackslash) {
  TempFolder dir;
  dir.Write("path.txt", "c:\\dir\\file\r\n");
  auto run = RunQuorve({"-r", "\\\\=/", "path.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "c:/dir/file\r\n\r\n");
}

// "Exception <class> in module <program file> at <8 hex digits>."
std::regex ReportFirstLine() {
  std::string module = std::filesystem::path(e2e::QuorveBinary()).filename().string();
  return std::regex("Exception ([A-Za-z]+) in module " + module + " at [0-9A-F]{8}\\.");
}

// The report's first line, then the message (its start, the system's text for the
// failure and a full stop), then an empty line.
void ExpectFailureReport(const std::string& err, const std::string& className,
                         const std::string& messageStart, const std::string& posixSystemText) {
  const std::regex firstLine = ReportFirstLine();
  std::size_t firstEnd = err.find(kCrLf);
  ASSERT_NE(firstEnd, std::string::npos) << err;
  std::smatch match;
  std::string first = err.substr(0, firstEnd);
  ASSERT_TRUE(std::regex_match(first, match, firstLine)) << first;
  EXPECT_EQ(match[1].str(), className);
  const std::string message = err.substr(firstEnd + 2);
  const std::string end = "." + kCrLf + kCrLf;
  ASSERT_GE(message.size(), messageStart.size() + end.size()) << message;
  EXPECT_EQ(message.substr(0, messageStart.size()), messageStart);
  EXPECT_EQ(message.substr(message.size() - end.size()), end);
  EXPECT_TRUE(e2e::IsSystemText(
      message.substr(messageStart.size(), message.size() - messageStart.size() - end.size()),
      posixSystemText))
      << message;
}

TEST(Cli, UnreadableSearchFileEndsTheRunWhileParsing) {
  TempFolder dir;
  std::string locked = e2e::UnreadableFile(dir);
  if (locked.empty()) GTEST_SKIP() << "no unreadable regular file can be made here";
  dir.Write("pets.txt", "cat\r\n");
  auto run = RunQuorve({locked + "=x", "-w", "pets.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  ExpectFailureReport(run.err, "EFOpenError",
                      "Cannot open file \"" + e2e::ProgramPath(locked) + "\". ",
                      "Permission denied");
  EXPECT_EQ(dir.Read("pets.txt"), "cat\r\n");
}

TEST(Cli, UnreadableInputFileGivesTheThreeLineReport) {
  TempFolder dir;
  std::string locked = e2e::UnreadableFile(dir);
  if (locked.empty()) GTEST_SKIP() << "no unreadable regular file can be made here";
  auto run = RunQuorve({"a=b", locked}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  ExpectFailureReport(run.err, "EFOpenError",
                      "Cannot open file \"" + e2e::ProgramPath(locked) + "\". ",
                      "Permission denied");
}

TEST(Cli, InvalidExpressionGivesTheFailureReport) {
  TempFolder dir;
  dir.Write("text.txt", "abc\r\n");
  auto run = RunQuorve({"-r", "(=x", "text.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  std::size_t firstEnd = run.err.find(kCrLf);
  ASSERT_NE(firstEnd, std::string::npos) << run.err;
  std::smatch match;
  std::string first = run.err.substr(0, firstEnd);
  ASSERT_TRUE(std::regex_match(first, match, ReportFirstLine())) << run.err;
  EXPECT_EQ(match[1].str(), "ERegExpr");
  ASSERT_GE(run.err.size(), firstEnd + 6);
  EXPECT_EQ(run.err.substr(run.err.size() - 4), kCrLf + kCrLf)
      << "the report ends in an empty line";
}

// Where each text first appears on the terminal's screen, or npos.
std::size_t At(const std::string& terminal, const std::string& text) {
  return e2e::ScreenText(terminal).find(text);
}

const std::string kSyntax1 = "Syntax: quorve [options] search=replace [search=replace] filename";
const std::string kSyntax2 = "        quorve -? for help";

TEST(CliTerminal, BannerEchoAndSyntaxGoToTheTerminalInColourNotToStandardOutput) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-s", "cat=dog", "\\x41=b"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  const std::string& tty = run.terminal;
  std::size_t banner = At(tty, "Quorve tool v1.17  (std input, ^Z to abort)");
  std::size_t echo1 = At(tty, "1: cat=dog");
  std::size_t echo2 = At(tty, "2: A=b");
  std::size_t syntax1 = At(tty, kSyntax1);
  std::size_t syntax2 = At(tty, kSyntax2);
  ASSERT_NE(banner, std::string::npos) << tty;
  ASSERT_NE(echo1, std::string::npos) << tty;
  ASSERT_NE(echo2, std::string::npos) << tty;
  ASSERT_NE(syntax1, std::string::npos) << tty;
  ASSERT_NE(syntax2, std::string::npos) << tty;
  EXPECT_LT(banner, echo1);
  EXPECT_LT(echo1, echo2);
  EXPECT_LT(echo2, syntax1);
  EXPECT_LT(syntax1, syntax2);
  if (e2e::TestingWindowsBuild()) {
    // Wine draws the cells of colour 14 in bright yellow.
    EXPECT_NE(tty.find("\x1b[93m"), std::string::npos) << tty;
    return;
  }
  // A colour is selected before the banner's text.
  std::size_t colour = tty.rfind("\x1b[", tty.find("Quorve tool"));
  EXPECT_NE(colour, std::string::npos) << tty;
  EXPECT_NE(tty.find('m', colour), std::string::npos);
}

TEST(CliTerminal, BannerNamesTheInputFileAndErrorLineStaysOnStandardOutput) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"cat=dog", "missing.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, NotFound(Shown(dir, "missing.txt")));
  EXPECT_NE(At(run.terminal, "Quorve tool v1.17  (missing)"), std::string::npos) << run.terminal;
  EXPECT_NE(At(run.terminal, "1: cat=dog"), std::string::npos);
  EXPECT_NE(At(run.terminal, kSyntax1), std::string::npos);
  EXPECT_EQ(At(run.terminal, "Error:"), std::string::npos);
}

TEST(CliTerminal, QuietStillShowsBannerAndSyntaxOnTheErrorPathWithoutEcho) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-q", "cat=dog", "missing.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, NotFound(Shown(dir, "missing.txt")));
  EXPECT_NE(At(run.terminal, "Quorve tool v1.17  (missing)"), std::string::npos) << run.terminal;
  EXPECT_NE(At(run.terminal, kSyntax2), std::string::npos);
  EXPECT_EQ(At(run.terminal, "cat=dog"), std::string::npos);
}

TEST(CliTerminal, QuietSuccessfulRunShowsNothing) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-q", "-s", "cat=dog"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(At(run.terminal, "Quorve"), std::string::npos) << run.terminal;
  EXPECT_EQ(At(run.terminal, "Syntax"), std::string::npos);
}

TEST(CliTerminal, HelpPageGoesToStandardOutputAndTheBannerToTheTerminal) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-?"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, HelpPage());
  EXPECT_NE(At(run.terminal, "Quorve tool v1.17  (-?: help page)"), std::string::npos)
      << run.terminal;
  EXPECT_NE(At(run.terminal, kSyntax1), std::string::npos);
  EXPECT_EQ(At(run.terminal, "Options include"), std::string::npos);
}

TEST(CliTerminal, ControlBytesOfAnEchoedPairNeverReachTheTerminalRaw) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-s", "a\\x1B[2Jb=\\x07"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  if (e2e::TestingWindowsBuild()) {
    // The Windows console shows each byte of a cell as a glyph of its font and
    // interprets none; the cells' bytes are checked by the Windows platform tests,
    // since wine passes a cell's byte to its terminal as it is.
    EXPECT_NE(run.terminal.find("a\x1b[2Jb="), std::string::npos) << run.terminal;
    return;
  }
  EXPECT_EQ(run.terminal.find("\x1b[2J"), std::string::npos) << run.terminal;
  EXPECT_EQ(run.terminal.find("\x07"), std::string::npos);
  EXPECT_NE(run.terminal.find("[2Jb="), std::string::npos) << run.terminal;
}

}  // namespace
