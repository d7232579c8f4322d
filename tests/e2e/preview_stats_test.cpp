// --diff, --stats, --must-match and -k=n through the real program: previews that
// patch turns into what -w writes, counts against a naive count of this test's
// own, the exit codes, and files left alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

namespace fs = std::filesystem;

class PreviewTest : public ::testing::Test {
 protected:
  e2e::RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "-q");
    return e2e::RunQuorve(args, dir_.path());
  }
  std::string Full(const std::string& name) const { return dir_ / name; }

  // patch applied to a copy of `name`; the patched bytes.
  std::string Patched(const std::string& name, const std::string& diff) {
    dir_.Write("copy", dir_.Read(name));
    dir_.Write("preview.diff", diff);
    const e2e::RunResult patched = e2e::RunCommand(
        {"patch", "--quiet", "-o", Full("patched"), Full("copy"), Full("preview.diff")},
        dir_.path());
    EXPECT_EQ(patched.exitCode, 0) << patched.out << patched.err << diff;
    return fs::exists(Full("patched")) ? dir_.Read("patched") : "<none>";
  }

  std::string RandomLines(const std::string& lineEnd, int lines) {
    static const std::vector<std::string> words = {"cat", "dog", "Cat", "bird", "", "cat dog"};
    std::string text;
    for (int i = 0; i < lines; ++i) {
      text += words[random_() % words.size()] + words[random_() % words.size()] + lineEnd;
    }
    return text;
  }

  test_support::TempFolder dir_;
  std::mt19937 random_{2026};
};

// Each preview, applied with patch, gives the bytes -w writes, in both modes; the
// file itself is not touched, nor is any output file made.
TEST_F(PreviewTest, PatchedPreviewIsWhatWriteBackWrites) {
  const std::vector<std::vector<std::string>> runs = {
      {"cat=tiger"},
      {"-c", "cat=\\r\\n"},
      {"dog=", "cat=cow"},
      {"-r", "c(a)t=<$1>"},
      {"-k=1", "cat=lion"},
      {"-l", "cat=lynx"},
      {"-l", "-k=1", "-r", "[cd]..=x"},
      {"--keep-eol", "cat=puma"},
  };
  for (int round = 0; round < 16; ++round) {
    // CR LF files, and LF files with --keep-eol, so the line ends do not change.
    const bool crLf = round % 2 == 0;
    const std::string input =
        RandomLines(crLf ? "\r\n" : "\n", 1 + static_cast<int>(random_() % 60));
    std::vector<std::string> args = runs[static_cast<std::size_t>(round) % runs.size()];
    if (!crLf) args.push_back("--keep-eol");
    dir_.Write("a.txt", input);
    dir_.Write("b.txt", input);
    std::vector<std::string> preview = args;
    preview.insert(preview.end(), {"--diff", "-w", "-o=" + Full("out.txt"), "a.txt"});
    const e2e::RunResult diff = Run(preview);
    ASSERT_EQ(diff.exitCode, 0) << diff.err;
    EXPECT_EQ(dir_.Read("a.txt"), input);
    EXPECT_FALSE(fs::exists(Full("out.txt")));
    EXPECT_FALSE(fs::exists(Full("a.txt.output")));
    EXPECT_EQ(diff.out.find("line ends:"), std::string::npos) << diff.out;

    std::vector<std::string> write = args;
    // Line-by-line mode writes -w's result beside the file.
    const bool lineByLine = args[0] == "-l";
    write.insert(write.end(), {"-w", "b.txt"});
    ASSERT_EQ(Run(write).exitCode, 0);
    const std::string written = dir_.Read(lineByLine ? "b.txt.output" : "b.txt");
    if (written == input) {
      EXPECT_EQ(diff.out, "");
    } else {
      EXPECT_EQ(Patched("a.txt", diff.out), written) << diff.out;
    }
    fs::remove(Full("b.txt.output"));
  }
}

// A second file name is not written either, and the headers name the input.
TEST_F(PreviewTest, NothingIsWrittenAndHeadersNameTheInput) {
  dir_.Write("a.txt", "one\r\ncat\r\n");
  const e2e::RunResult diff = Run({"--diff", "cat=dog", "a.txt", "second.txt"});
  EXPECT_EQ(diff.exitCode, 0);
  EXPECT_FALSE(fs::exists(Full("second.txt")));
  const std::string name = std::string("a.txt");
  EXPECT_EQ(diff.out,
            "--- " + name + "\n+++ " + name + "\n@@ -1,2 +1,2 @@\n one\r\n-cat\r\n+dog\r\n");
}

// An LF file becomes CR LF: one note instead of every line, hunks only for lines
// whose text changes.
TEST_F(PreviewTest, LineEndOnlyChangesAreOneNote) {
  dir_.Write("lf.txt", "one\ntwo\nthree\n");
  const std::string name = std::string("lf.txt");
  EXPECT_EQ(Run({"--diff", "zzz=y", "lf.txt"}).out, "line ends: LF -> CR LF in " + name + "\n");
  EXPECT_EQ(Run({"--diff", "two=2", "lf.txt"}).out,
            "line ends: LF -> CR LF in " + name + "\n--- " + name + "\n+++ " + name +
                "\n@@ -1,3 +1,3 @@\n one\n-two\n+2\n three\n");
  // --unix on a CR LF file the other way round.
  dir_.Write("crlf.txt", "one\r\ntwo\r\n");
  EXPECT_EQ(Run({"--diff", "--unix", "zzz=y", "crlf.txt"}).out,
            "line ends: CR LF -> LF in " + std::string("crlf.txt") + "\n");
}

TEST_F(PreviewTest, ColourOnlyOnATerminalThatWantsIt) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the terminal runs are POSIX ones";
  dir_.Write("a.txt", "cat\r\n");
  e2e::TerminalOptions onTerminal;
  onTerminal.outputOnTerminal = true;
  const auto run = [&](const std::vector<std::string>& changes, bool terminal) {
    std::vector<std::string> environment = e2e::ColourTerminalEnvironment();
    environment.insert(environment.end(), changes.begin(), changes.end());
    e2e::TerminalOptions options;
    options.outputOnTerminal = terminal;
    const e2e::TerminalRunResult result =
        e2e::RunOnTerminal(e2e::QuorveCommand({"-q", "--diff", "cat=dog", "a.txt"}), dir_.path(),
                           e2e::EnvironmentWith(environment), options);
    return terminal ? result.terminal : result.out;
  };
  const std::string coloured = run({}, true);
  EXPECT_NE(coloured.find("\x1b[31m-cat\x1b[0m"), std::string::npos) << coloured;
  EXPECT_NE(coloured.find("\x1b[32m+dog\x1b[0m"), std::string::npos) << coloured;
  EXPECT_NE(coloured.find("\x1b[1m--- "), std::string::npos) << coloured;
  const std::string noColour = run({"NO_COLOR=1"}, true);
  EXPECT_EQ(noColour.find('\x1b'), std::string::npos) << noColour;
  EXPECT_NE(noColour.find("-cat"), std::string::npos) << noColour;
  const std::string toFile = run({}, false);
  EXPECT_EQ(toFile.find('\x1b'), std::string::npos) << toFile;
  EXPECT_NE(toFile.find("+dog\r\n"), std::string::npos) << toFile;
}

// The --stats line: each pair's count and the lines changed.
struct Stats {
  std::vector<std::uint64_t> perPair;
  std::uint64_t total = 0;
  std::uint64_t lines = 0;
};

Stats StatsFrom(const std::string& err, const std::string& name) {
  const std::regex line("(.*): (\\d+) replacements? \\(([0-9:, ]*)\\), (\\d+) lines? changed\r\n");
  std::smatch m;
  Stats stats;
  if (!std::regex_match(err, m, line)) {
    ADD_FAILURE() << "no stats line: " << testing::PrintToString(err);
    return stats;
  }
  EXPECT_EQ(m[1].str(), name);
  stats.total = std::stoull(m[2].str());
  stats.lines = std::stoull(m[4].str());
  const std::string list = m[3].str();
  const std::regex entry("(\\d+): (\\d+)");
  std::size_t index = 1;
  for (auto it = std::sregex_iterator(list.begin(), list.end(), entry);
       it != std::sregex_iterator(); ++it, ++index) {
    EXPECT_EQ(std::stoul((*it)[1].str()), index);
    stats.perPair.push_back(std::stoull((*it)[2].str()));
  }
  return stats;
}

// Counted the slow way: each pair over each line (line-by-line) or over the
// whole text, leftmost matches without overlap, at most `most` of them; an
// expression through std::regex (the expressions here mean the same there).
std::uint64_t NaiveApply(std::string& text, const std::string& search, const std::string& replace,
                         bool expression, std::size_t most) {
  std::string result;
  std::uint64_t count = 0;
  if (expression) {
    const std::regex re(search);
    auto it = std::sregex_iterator(text.begin(), text.end(), re);
    std::size_t copied = 0;
    for (; it != std::sregex_iterator() && count < most; ++it, ++count) {
      result += text.substr(copied, static_cast<std::size_t>(it->position()) - copied) + replace;
      copied = static_cast<std::size_t>(it->position() + it->length());
    }
    text = result + text.substr(copied);
    return count;
  }
  // Plain pairs are case-insensitive (ASCII letters here).
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string folded = lower(text);
  const std::string key = lower(search);
  std::size_t at = 0;
  while (at < text.size()) {
    if (count < most && folded.compare(at, key.size(), key) == 0) {
      result += replace;
      at += key.size();
      ++count;
    } else {
      result += text[at++];
    }
  }
  text = result;
  return count;
}

TEST_F(PreviewTest, StatsAgreeWithANaiveCount) {
  const struct {
    std::vector<std::pair<std::string, std::string>> pairs;
    bool expression;
  } runs[] = {
      {{{"cat", "dog"}, {"dog", "x"}}, false},
      {{{"at", "ATAT"}, {"cAt", "y"}}, false},
      {{{"c[a]t", "x"}, {"d.g", "cat"}}, true},
      {{{"(cat)+", "z"}}, true},
  };
  for (int round = 0; round < 24; ++round) {
    const auto& run = runs[static_cast<std::size_t>(round) % 4];
    const bool lineByLine = round % 8 >= 4;
    const std::size_t most = round % 3 == 0 ? 1 + random_() % 3 : 0;
    const std::string input = RandomLines("\r\n", 1 + static_cast<int>(random_() % 50));
    dir_.Write("in.txt", input);
    std::vector<std::string> args = {"--stats"};
    if (lineByLine) args.push_back("-l");
    if (run.expression) args.push_back("-r");
    if (most != 0) args.push_back("-k=" + std::to_string(most));
    for (const auto& [search, replace] : run.pairs) args.push_back(search + "=" + replace);
    args.push_back("in.txt");
    const e2e::RunResult result = Run(args);
    ASSERT_EQ(result.exitCode, 0);

    const std::size_t limit = most == 0 ? std::string::npos : most;
    Stats expected;
    expected.perPair.assign(run.pairs.size(), 0);
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < input.size();) {
      const std::size_t end = input.find("\r\n", from);
      lines.push_back(input.substr(from, end - from));
      from = end + 2;
    }
    if (lineByLine) {
      for (std::string line : lines) {
        const std::string before = line;
        for (std::size_t i = 0; i < run.pairs.size(); ++i) {
          expected.perPair[i] +=
              NaiveApply(line, run.pairs[i].first, run.pairs[i].second, run.expression, limit);
        }
        expected.lines += line != before;
      }
    } else {
      std::string text = input;
      for (std::size_t i = 0; i < run.pairs.size(); ++i) {
        expected.perPair[i] =
            NaiveApply(text, run.pairs[i].first, run.pairs[i].second, run.expression, limit);
      }
      // Line by line, place by place (these pairs make no line breaks).
      for (std::size_t i = 0, from = 0; i < lines.size(); ++i) {
        const std::size_t end = text.find("\r\n", from);
        expected.lines += text.substr(from, end - from) != lines[i];
        from = end + 2;
      }
    }
    for (std::uint64_t n : expected.perPair) expected.total += n;
    const Stats got = StatsFrom(result.err, std::string("in.txt"));
    EXPECT_EQ(got.perPair, expected.perPair) << "round " << round;
    EXPECT_EQ(got.total, expected.total) << "round " << round;
    EXPECT_EQ(got.lines, expected.lines) << "round " << round;
    // Standard output carries only the text.
    EXPECT_EQ(result.out.find("replacement"), std::string::npos);
  }
}

TEST_F(PreviewTest, MustMatchExitCodesAndTheFileLeftAlone) {
  for (const std::string mode : {"", "-l"}) {
    for (const bool writeBack : {false, true}) {
      const std::string input = "one cat\r\ntwo\r\n";
      dir_.Write("a.txt", input);
      const auto stamp = fs::last_write_time(Full("a.txt")) - std::chrono::hours(1);
      fs::last_write_time(Full("a.txt"), stamp);
      std::vector<std::string> args = {"--must-match", "zzz=y", "a.txt"};
      if (!mode.empty()) args.insert(args.begin(), mode);
      if (writeBack) args.insert(args.begin(), "-w");
      const e2e::RunResult none = Run(args);
      EXPECT_EQ(none.exitCode, 2) << mode << writeBack;
      EXPECT_EQ(dir_.Read("a.txt"), input);
      EXPECT_EQ(fs::last_write_time(Full("a.txt")), stamp);
      EXPECT_FALSE(fs::exists(Full("a.txt.output")));
      // Without -w the text still goes to standard output (both modes end it with
      // one more line end).
      if (!writeBack) {
        EXPECT_EQ(none.out, input + "\r\n");
      }

      args[args.size() - 2] = "cat=dog";
      const e2e::RunResult some = Run(args);
      EXPECT_EQ(some.exitCode, 0);
      const std::string result = "one dog\r\ntwo\r\n";
      if (writeBack) {
        EXPECT_EQ(dir_.Read(mode.empty() ? "a.txt" : "a.txt.output"),
                  result + (mode.empty() ? "" : "\r\n"));
      } else {
        EXPECT_EQ(some.out, result + "\r\n");
      }
      fs::remove(Full("a.txt.output"));
    }
  }
  // Without the option nothing matched is still success; with --diff, 2, and no
  // preview (the run would write nothing, though its line ends would differ).
  dir_.Write("b.txt", "x\n");
  EXPECT_EQ(Run({"zzz=y", "b.txt"}).exitCode, 0);
  const e2e::RunResult preview = Run({"--diff", "--must-match", "zzz=y", "b.txt"});
  EXPECT_EQ(preview.exitCode, 2);
  EXPECT_EQ(preview.out, "");
  // A failure is still 1.
  EXPECT_EQ(Run({"--must-match", "zzz=y", "missing.txt"}).exitCode, 1);
}

// -k=n: the first n matches of the whole text (whole-file mode, also where a
// match lies across the 1 MiB blocks the file is read in), of each line with -l.
TEST_F(PreviewTest, FirstMatchesOnlyInBothModesAndAcrossTheBlockSeam) {
  const std::size_t block = std::size_t{1} << 20;
  // "cat" at the very end of the first block, split over the seam, and after it.
  std::string input(block - 20, 'x');
  input += "\r\ncat\r\n";
  input.resize(block - 1, 'y');
  input += "cat\r\nmore cat cat\r\n";
  dir_.Write("big.txt", input);
  for (std::size_t most : {1, 2, 3, 4}) {
    const e2e::RunResult result =
        Run({"--stats", "-k=" + std::to_string(most), "cat=D", "big.txt"});
    std::string expected = input;
    const std::uint64_t count = NaiveApply(expected, "cat", "D", false, most);
    EXPECT_EQ(result.out, expected + "\r\n") << most;
    EXPECT_EQ(StatsFrom(result.err, std::string("big.txt")).total, count);
  }
  dir_.Write("lines.txt", "cat cat cat\r\nCAT\r\ndog\r\n");
  EXPECT_EQ(Run({"-l", "-k=2", "cat=x", "lines.txt"}).out, "x x cat\r\nx\r\ndog\r\n\r\n");
  EXPECT_EQ(Run({"-l", "--occurrence=1", "-r", "[a-z]+=W", "lines.txt"}).out,
            "W cat cat\r\nCAT\r\nW\r\n\r\n");
  EXPECT_EQ(Run({"-k=2", "-r", "\\r\\n=|", "lines.txt"}).out, "cat cat cat|CAT|dog\r\n\r\n");
  // 0, negative and unreadable values mean every match.
  for (const std::string value : {"0", "-1", "abc"}) {
    EXPECT_EQ(Run({"-l", "-k=" + value, "cat=x", "lines.txt"}).out, "x x x\r\nx\r\ndog\r\n\r\n");
  }
}

}  // namespace

namespace {

// Over several files: one preview after the other in input order, each under the
// name as found below the current folder, which patch applies file by file to give
// what -w writes; counts per file and one total; --must-match decides over all.
TEST_F(PreviewTest, SeveralFilesPreviewCountAndMustMatchTogether) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", "one cat\r\ntwo\r\n"}, {"b.txt", "no pet\r\n"}, {"c.txt", "cat cat\r\ncat\r\n"}};
  for (const auto& [name, text] : files) dir_.Write(name, text);

  const e2e::RunResult preview = Run({"--diff", "--stats", "--jobs=3", "cat=dog", "*.txt"});
  EXPECT_EQ(preview.exitCode, 0) << preview.err;
  EXPECT_LT(preview.out.find("--- a.txt"), preview.out.find("--- c.txt")) << preview.out;
  EXPECT_EQ(preview.out.find("b.txt"), std::string::npos) << "an unchanged file shows nothing";
  EXPECT_EQ(preview.err,
            "a.txt: 1 replacement (1: 1), 1 line changed\r\n"
            "b.txt: 0 replacements (1: 0), 0 lines changed\r\n"
            "c.txt: 3 replacements (1: 3), 2 lines changed\r\n"
            "4 replacements in 2 of 3 files\r\n");
  for (const auto& [name, text] : files) EXPECT_EQ(dir_.Read(name), text) << "nothing written";

  dir_.Write("all.diff", preview.out);
  const e2e::RunResult patched =
      e2e::RunCommand({"patch", "--quiet", "-p0", "-i", Full("all.diff")}, dir_.path());
  ASSERT_EQ(patched.exitCode, 0) << patched.out << patched.err;
  const std::vector<std::string> patchedTexts = {dir_.Read("a.txt"), dir_.Read("c.txt")};
  for (const auto& [name, text] : files) dir_.Write(name, text);
  ASSERT_EQ(Run({"-w", "cat=dog", "--", "a.txt", "c.txt"}).exitCode, 0);
  EXPECT_EQ(patchedTexts, (std::vector<std::string>{dir_.Read("a.txt"), dir_.Read("c.txt")}));

  // Nothing matched in any file: 2, and not one file rewritten.
  for (const auto& [name, text] : files) dir_.Write(name, text);
  EXPECT_EQ(Run({"-w", "--must-match", "zebra=x", "*.txt"}).exitCode, 2);
  for (const auto& [name, text] : files) EXPECT_EQ(dir_.Read(name), text);
  // A match in one file is enough for 0; the files without one stay as they were.
  dir_.Write("d.txt", "zebra\n");
  EXPECT_EQ(Run({"-w", "--must-match", "zebra=x", "*.txt"}).exitCode, 0);
  EXPECT_EQ(dir_.Read("d.txt"), "x\r\n");
  EXPECT_EQ(dir_.Read("b.txt"), "no pet\r\n");
  // A failing file among them is still 1.
  EXPECT_EQ(Run({"--must-match", "zebra=x", "--", "a.txt", "missing.txt"}).exitCode, 1);
}

// Standard input is read once; a preview, and whole-file mode's count of changed
// lines, read their input twice. Line by line the count needs no second reading.
TEST_F(PreviewTest, ReadingStandardInputTwiceIsRefusedBeforeAnythingIsRead) {
  for (const auto& [args, option] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--diff", "cat=dog", "-"}, "--diff"},
           {{"--diff", "-l", "cat=dog", "-"}, "--diff"},
           {{"--stats", "cat=dog", "-"}, "--stats"},
           {{"--stats", "-r", "c(a)t=dog", "-"}, "--stats"}}) {
    const e2e::RunResult run = Run(args);
    EXPECT_EQ(run.exitCode, 1) << option;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("Error: " + option, 0), 0u) << run.err;
  }
  const e2e::RunResult counted = Run({"--stats", "-l", "cat=dog", "-"});
  EXPECT_EQ(counted.exitCode, 0) << counted.err;
  EXPECT_EQ(counted.err, "-: 0 replacements (1: 0), 0 lines changed\r\n");
}

}  // namespace
