// --version and the colour conventions of the status lines, through the real program.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using e2e::RunQuorve;
using e2e::RunQuorveOnTerminal;
using test_support::TempFolder;

#ifndef QUORVE_VERSION
#error "the build names the version it expects (QUORVE_VERSION)"
#endif

std::string NativeLineEnd() {
  return e2e::TestingWindowsBuild() ? "\r\n" : "\n";
}

// The output cut into lines, each of which must end with the system's line end.
std::vector<std::string> NativeLines(const std::string& out) {
  std::vector<std::string> lines;
  const std::string end = NativeLineEnd();
  std::size_t from = 0;
  while (from < out.size()) {
    const std::size_t at = out.find(end, from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "the last line has no line end: " << testing::PrintToString(out);
      break;
    }
    lines.push_back(out.substr(from, at - from));
    from = at + end.size();
  }
  return lines;
}

TEST(Version, TheProgramThenOneLinePerEngineFirstPcre2) {
  TempFolder dir;
  auto run = RunQuorve({"--version"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = NativeLines(run.out);
  ASSERT_GE(lines.size(), 2u) << run.out;
  EXPECT_EQ(lines[0], "quorve " QUORVE_VERSION);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(quorve 1\.17\.\d+)"))) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(PCRE2 \d+\.\d+( \S+)?, JIT (on|off))")))
      << lines[1];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(R"(\S+ \S.*, JIT (on|off))"))) << lines[i];
    EXPECT_EQ(lines[i].find('\r'), std::string::npos);
  }
}

TEST(Version, AnyLetterCaseAndAnyOtherArgumentsGiveTheSameLinesAndProcessNothing) {
  TempFolder dir;
  dir.Write("pets.txt", "cat\n");
  const std::string expected = RunQuorve({"--version"}, dir.path()).out;
  const std::vector<std::vector<std::string>> commands = {
      {"--VERSION"},
      {"--Version", "-q"},
      {"-w", "cat=dog", "pets.txt", "--version"},
      {"--version", "-l", "-o=out.txt", "pets.txt"},
      {"-?", "--version"},
      {"--version", "missing.txt"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(testing::PrintToString(args));
    auto run = RunQuorve(args, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(dir.Read("pets.txt"), "cat\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
}

TEST(Version, WithAValueItIsStillAPair) {
  TempFolder dir;
  dir.Write("in.txt", "see --version\r\n");
  auto run = RunQuorve({"--version=2.0", "in.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "see 2.0\r\n\r\n");
}

TEST(Version, AnOutputThatCannotBeWrittenFailsTheRun) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "wine has no device that refuses writes";
  // The version lines and the help page alike: a page that never arrived is no success.
  for (const char* option : {"--version", "-?"}) {
    TempFolder dir;
    const std::string errName = dir / "err.txt";
    const int full = open("/dev/full", O_WRONLY);
    const int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    ASSERT_TRUE(full >= 0 && err >= 0 && in >= 0);
    const int exitCode = e2e::SpawnQuorve({option}, dir.path(), in, full, err);
    close(full);
    close(err);
    close(in);
    EXPECT_EQ(exitCode, 1) << option;
    EXPECT_NE(dir.Read("err.txt").find("EInOutError"), std::string::npos)
        << option << ": " << dir.Read("err.txt");
  }
}

TEST(Version, NothingGoesToTheTerminal) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"--version"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("quorve ", 0), 0u) << run.out;
  EXPECT_EQ(e2e::ScreenText(run.terminal).find("Quorve tool"), std::string::npos) << run.terminal;
}

// Colour selections: ESC [ parameters m.
bool HasColour(const std::string& terminal) {
  return std::regex_search(terminal, std::regex("\x1b\\[[0-9;]*[1-9][0-9;]*m"));
}

TEST(StatusColour, ColouredOnAnOrdinaryTerminal) {
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-s", "cat=dog"}, dir.path());
  EXPECT_NE(e2e::ScreenText(run.terminal).find("1: cat=dog"), std::string::npos) << run.terminal;
  EXPECT_TRUE(HasColour(run.terminal)) << run.terminal;
}

TEST(StatusColour, NoColorInAnyValueLeavesTheLinesUncolouredButShown) {
  TempFolder dir;
  for (const char* setting : {"NO_COLOR=1", "NO_COLOR=", "NO_COLOR=0"}) {
    SCOPED_TRACE(setting);
    auto run = RunQuorveOnTerminal({"-s", "cat=dog"}, dir.path(), 30, {setting});
    EXPECT_EQ(run.exitCode, 0);
    const std::string screen = e2e::ScreenText(run.terminal);
    EXPECT_NE(screen.find("Quorve tool v1.17  (std input, ^Z to abort)"), std::string::npos)
        << run.terminal;
    EXPECT_NE(screen.find("1: cat=dog"), std::string::npos);
    if (e2e::TestingWindowsBuild()) {
      // Wine draws the console's own colours with sequences of its own; the
      // status colour 14 is bright yellow.
      EXPECT_EQ(run.terminal.find("\x1b[93m"), std::string::npos) << run.terminal;
    } else {
      EXPECT_FALSE(HasColour(run.terminal)) << run.terminal;
    }
  }
}

TEST(StatusColour, ADumbTerminalGetsThePlainTextWithoutControlSequences) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "wine's console writes sequences of its own";
  TempFolder dir;
  auto run = RunQuorveOnTerminal({"-s", "cat=dog"}, dir.path(), 30, {"TERM=dumb"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.terminal.find('\x1b'), std::string::npos) << run.terminal;
  EXPECT_NE(run.terminal.find("1: cat=dog"), std::string::npos) << run.terminal;

  // A progress row is cleared to its end with blanks (79 columns of the 80).
  std::string lines;
  for (int i = 0; i < 1500; ++i) lines += "y\r\n";
  dir.Write("in.txt", lines);
  auto progress =
      RunQuorveOnTerminal({"-l", "-o=out.txt", "in.txt"}, dir.path(), 30, {"TERM=dumb"});
  EXPECT_EQ(progress.exitCode, 0);
  EXPECT_EQ(progress.terminal.find('\x1b'), std::string::npos) << progress.terminal;
  const std::string row = "Processing line: #999(1000)";
  EXPECT_NE(progress.terminal.find("\r" + row + std::string(79 - row.size(), ' ') + "\r"),
            std::string::npos)
      << progress.terminal;
}

TEST(StatusRows, AProgressRowLeftInPlaceIsEndedBeforeTheProcessEnds) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "wine draws the console with moves of its own";
  TempFolder dir;
  std::string lines;
  for (int i = 0; i < 1500; ++i) lines += "y\r\n";
  dir.Write("in.txt", lines);
  auto run = RunQuorveOnTerminal({"-q", "-l", "-o=out.txt", "in.txt"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  const std::string row = "Processing line: #999(1000)";
  const std::size_t at = run.terminal.rfind(row);
  ASSERT_NE(at, std::string::npos) << run.terminal;
  // The row, its clearing and colour reset, back to its start, then a line end (the
  // terminal shows the program's "\n" as "\r\n").
  EXPECT_EQ(run.terminal.substr(at + row.size()), "\x1b[K\x1b[0m\r\r\n");
}

}  // namespace
