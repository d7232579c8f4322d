// Case-insensitive searches in a UTF-8 locale through the real executable: letters
// of several scripts and lengths in both modes, escapes, invalid bytes, a match
// across a line end and across the one-mebibyte block seam, expressions and the
// line filter; the C locale and a single-byte locale as before; status lines that
// keep the letters of names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

const std::string kUtf8 = "LC_ALL=C.UTF-8";

class Utf8CaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The Windows build takes its code page from the system, not from LC_ALL.
    if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the locale is the system's";
  }

  e2e::RunResult RunIn(const std::vector<std::string>& environment,
                       const std::vector<std::string>& args) {
    std::vector<std::string> command = {"env"};
    command.insert(command.end(), environment.begin(), environment.end());
    const std::vector<std::string> quorve = e2e::QuorveCommand(args);
    command.insert(command.end(), quorve.begin(), quorve.end());
    return e2e::RunCommand(command, dir_.path());
  }

  // Standard output of a run over `input` in file in.txt, the file name added last.
  std::string Output(const std::string& locale, const std::string& input,
                     std::vector<std::string> args) {
    test_support::WriteFile(dir_ / "in.txt", input);
    args.push_back("in.txt");
    const e2e::RunResult run = RunIn({locale}, args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
  }

  test_support::TempFolder dir_;
};

struct OutputCase {
  std::string name;
  std::string input;
  std::vector<std::string> args;
  std::string out;  // standard output, the same line by line (-l)
};

TEST_F(Utf8CaseTest, PlainSearchesFoldLettersOfEveryLength) {
  // clang-format off
  const std::vector<OutputCase> cases = {
      {"German", "Herr M\xC3\x9CLLER, m\xC3\xBCller", {"m\\xC3\\xBCller=X"},
       "Herr X, X\r\n\r\n"},
      {"written as is", "M\xC3\x9CLLER", {"m\xC3\xBCller=X"}, "X\r\n\r\n"},
      {"Greek, final sigma", "\xCE\xA3\xCE\x91\xCE\xA3 \xCF\x83\xCE\xB1\xCF\x82",
       {"\\xCF\\x83\\xCE\\xB1\\xCF\\x83=X"}, "X X\r\n\r\n"},
      {"Cyrillic", "\xD0\x9C\xD0\x98\xD0\xA0 \xD0\xBC\xD0\xB8\xD1\x80",
       {"\\xD0\\xBC\\xD0\\xB8\\xD1\\x80=X"}, "X X\r\n\r\n"},
      {"three bytes for two", "STRA\xE1\xBA\x9E" "E stra\xC3\x9F" "e",
       {"stra\\xC3\\x9Fe=X"}, "X X\r\n\r\n"},
      {"three bytes for one", "\xE2\x84\xAA\xC3\xB6ln K\xC3\x96LN", {"k\\xC3\\xB6ln=X"},
       "X X\r\n\r\n"},
      {"shorter than the search", "k\xC3\xB6ln x", {"\\xE2\\x84\\xAA\\xC3\\xB6ln=X"},
       "X x\r\n\r\n"},
      {"lines around", "one\nK\xC3\x96LN\nthree\nk\xC3\xB6\nln\n", {"k\\xC3\\xB6ln=X"},
       "one\r\nX\r\nthree\r\nk\xC3\xB6\r\nln\r\n\r\n"},
      {"four bytes", "\xF0\x90\x90\x80 \xF0\x90\x90\xA8", {"\\xF0\\x90\\x90\\xA8=X"},
       "X X\r\n\r\n"},
      {"invalid bytes beside", "\xFF\xC3\xA4 \xFF\xC3\x84 \xFE\xC3\x84 \xC3", {"\\xFF\\xC3\\xA4=X"},
       "X X \xFE\xC3\x84 \xC3\r\n\r\n"},
      {"lone lead byte", "\xC3\xA4\xC3 \xC3\x84\xC3\xA4", {"\\xC3\\xA4\\xC3=X"},
       "X X\xA4\r\n\r\n"},
      {"ASCII search as before", "K \xE2\x84\xAA k", {"k=X"}, "X \xE2\x84\xAA X\r\n\r\n"},
      {"case-sensitive", "M\xC3\x9CLLER m\xC3\xBCller", {"-c", "m\\xC3\\xBCller=X"},
       "M\xC3\x9CLLER X\r\n\r\n"},
      {"several pairs", "\xC3\x84pfel", {"\\xC3\\xA4=ae", "AEPFEL=x"}, "x\r\n\r\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Output(kUtf8, c.input, c.args), c.out) << c.name;
    std::vector<std::string> lineByLine = c.args;
    lineByLine.insert(lineByLine.begin(), "-l");
    EXPECT_EQ(Output(kUtf8, c.input, lineByLine), c.out) << c.name << " -l";
  }
}

TEST_F(Utf8CaseTest, AMatchAcrossALineEnd) {
  const std::string input = "gr\xC3\xBCn\nGR\xC3\x9CN\n";
  EXPECT_EQ(Output(kUtf8, input, {"\\xC3\\x9Cn\\r\\ngr=_"}), "gr_\xC3\x9CN\r\n\r\n");
}

// Whole-file runs read in one-mebibyte blocks: a letter, and a match whose bytes
// are longer than the search's, cut by the seams.
TEST_F(Utf8CaseTest, MatchesCutByTheBlockSeam) {
  const std::size_t mebibyte = std::size_t{1} << 20;
  std::string input(mebibyte - 1, 'x');
  input += "\xE1\xBA\x9E";  // capital sharp s: three bytes for the search's two
  input += std::string(mebibyte - 2, 'y');
  input += "\xE2\x84\xAA\xC3\xB6";  // Kelvin sign and o-umlaut
  std::string expected(mebibyte - 1, 'x');
  expected += "_" + std::string(mebibyte - 2, 'y') + "_";
  EXPECT_EQ(Output(kUtf8, input, {"\\xC3\\x9F=_", "k\\xC3\\x96=_"}), expected + "\r\n\r\n");
  test_support::WriteFile(dir_ / "in.txt", input);
  const e2e::RunResult run =
      RunIn({kUtf8}, {"-q", "\\xC3\\x9F=_", "k\\xC3\\x96=_", "in.txt", "out.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test_support::ReadFile(dir_ / "out.txt"), expected + "\r\n");
}

TEST_F(Utf8CaseTest, ExpressionsAndTheLineFilter) {
  const std::string input = "gr\xC3\xBCn\nGR\xC3\x9CN\nrot\n";
  EXPECT_EQ(Output(kUtf8, input, {"-r", "(?i)gr\xC3\xBCn=[$0]"}),
            "[gr\xC3\xBCn]\r\n[GR\xC3\x9CN]\r\nrot\r\n\r\n");
  // A class keeps its byte meaning: [\xC3\xBC] is two bytes, not one letter.
  EXPECT_EQ(Output(kUtf8, input, {"-r", "(?i)gr[\xC3\xBC]=[$0]"}),
            "[gr\xC3]\xBCn\r\n[GR\xC3]\x9CN\r\nrot\r\n\r\n");
  EXPECT_EQ(Output(kUtf8, input, {"-l", "-m=(?i)gr\xC3\xBCn"}),
            "gr\xC3\xBCn\r\nGR\xC3\x9CN\r\n\r\n");
  EXPECT_EQ(Output("LC_ALL=C", input, {"-l", "-m=(?i)gr\xC3\xBCn"}), "gr\xC3\xBCn\r\n\r\n");
}

TEST_F(Utf8CaseTest, TheCLocaleFoldsOnlyAscii) {
  const std::string input = "M\xC3\x9CLLER m\xC3\xBCller Mueller";
  EXPECT_EQ(Output("LC_ALL=C", input, {"m\\xC3\\xBCller=X", "mueller=Y"}),
            "M\xC3\x9CLLER X Y\r\n\r\n");
  EXPECT_EQ(Output("LC_ALL=C", input, {"-r", "(?i)m\xC3\xBCller=X"}),
            "M\xC3\x9CLLER X Mueller\r\n\r\n");
}

// A Latin-1 locale folds its own single bytes, and UTF-8 letters only byte by byte.
TEST_F(Utf8CaseTest, ASingleByteLocaleFoldsItsOwnBytes) {
  const fs::path locales = dir_ / "locales";
  fs::create_directory(locales);
  const std::string make = "localedef -i en_US -f ISO-8859-1 '" +
                           (locales / "en_US.ISO-8859-1").string() + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "localedef cannot make a Latin-1 locale";
  const std::string latin1 = "LC_ALL=en_US.ISO-8859-1";
  const std::string input = "M\xDCLLER M\xC3\x9CLLER";
  for (const std::string& search : {"m\\xFCller=X"s, "m\\xC3\\xBCller=X"s}) {
    test_support::WriteFile(dir_ / "in.txt", input);
    const e2e::RunResult run = RunIn({"LOCPATH=" + locales.string(), latin1}, {search, "in.txt"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, search == "m\\xFCller=X" ? "X M\xC3\x9CLLER\r\n\r\n"
                                                : "M\xDCLLER M\xC3\x9CLLER\r\n\r\n");
  }
}

TEST_F(Utf8CaseTest, StatusLinesKeepTheLettersOfNames) {
  test_support::WriteFile(dir_ /
                              "Gr\xC3\xB6\xC3\x9F"
                              "e.txt",
                          "m\xC3\xBCller");
  const auto run = e2e::RunQuorveOnTerminal({"m\xC3\xBCller=X\\t",
                                             "Gr\xC3\xB6\xC3\x9F"
                                             "e.txt",
                                             "out.txt"},
                                            dir_.path(), 30, {kUtf8});
  EXPECT_EQ(run.exitCode, 0);
  const std::string screen = e2e::ScreenText(run.terminal);
  EXPECT_NE(screen.find("(Gr\xC3\xB6\xC3\x9F"
                        "e)"),
            std::string::npos)
      << screen;
  // The letters stay; the tab, a control, shows as "?".
  EXPECT_NE(screen.find("1: m\xC3\xBCller=X?"), std::string::npos) << screen;
  EXPECT_EQ(test_support::ReadFile(dir_ / "out.txt"), "X\t\r\n");
}

}  // namespace
