// Standard input and output by the name "-", wildcards, "--", lists of names,
// folder trees and runs over many files on several threads, through the real
// executable. Where a result is one a single-file run already gives, the run over
// many files is held against single-file runs of the same program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace std::string_literals;
using e2e::Shown;
namespace fs = std::filesystem;

class ManyFilesTest : public ::testing::Test {
 protected:
  e2e::RunResult Run(const std::vector<std::string>& args) {
    return e2e::RunQuorve(args, dir_.path());
  }

  // Runs quorve with the bytes on standard input: through a pipe, or as a file.
  e2e::RunResult RunWithInput(const std::vector<std::string>& args, const std::string& input,
                              bool throughPipe = true) {
    const fs::path out = dir_ / ".captured-out";
    const fs::path err = dir_ / ".captured-err";
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int inFd = -1;
    int pipeEnds[2] = {-1, -1};
    if (throughPipe) {
      // Neither end may stay open in the child, or its input would never end.
      if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
      inFd = pipeEnds[0];
    } else {
      dir_.Write(".captured-in", input);
      inFd = open((dir_ / ".captured-in").c_str(), O_RDONLY);
    }
    const pid_t pid = e2e::StartCommand(e2e::QuorveCommand(args), dir_.path(), inFd, outFd, errFd);
    close(inFd);
    close(outFd);
    close(errFd);
    if (throughPipe) {
      // The other end may never read (a refused run): a closed pipe is no failure here.
      signal(SIGPIPE, SIG_IGN);
      std::size_t written = 0;
      while (written < input.size()) {
        const ssize_t n = write(pipeEnds[1], input.data() + written, input.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
      }
      close(pipeEnds[1]);
    }
    e2e::RunResult result;
    result.exitCode = e2e::WaitForExit(pid);
    result.out = e2e::ReadFile(out);
    result.err = e2e::ReadFile(err);
    fs::remove(out);
    fs::remove(err);
    fs::remove(dir_ / ".captured-in");
    return result;
  }

  // What a single-file run writes to standard output for the input given.
  std::string SingleRunOutput(std::vector<std::string> args, const std::string& input) {
    dir_.Write(".single-input", input);
    args.push_back(".single-input");
    const e2e::RunResult result = Run(args);
    fs::remove(dir_ / ".single-input");
    EXPECT_EQ(result.exitCode, 0) << result.out;
    return result.out;
  }

  std::string Read(const std::string& name) const { return e2e::ReadFile(dir_ / name); }

  test_support::TempFolder dir_;
};

struct PipeCase {
  std::string name;
  std::vector<std::string> options;
  std::string input;
};

const std::vector<PipeCase>& PipeCases() {
  static const std::vector<PipeCase> cases = {
      {"whole file", {"cat=dog"}, "one cat\ntwo cats\r\nthree"},
      {"whole file, expression", {"-r", "c(a)t=d$1g"}, "cat\ncot\n"},
      {"whole file, kept line ends", {"--keep-eol", "cat=dog"}, "cat\nx\n"},
      {"whole file, no final line end", {"--keep-eol", "cat=dog"}, "a cat"},
      {"line by line", {"-l", "cat=dog"}, "one cat\ntwo cats\r\nthree"},
      {"line by line, kept line ends", {"-l", "--keep-eol", "cat=dog"}, "cat\rb\r"},
      {"line by line, filter", {"-m=o", "cat=dog"}, "one cat\nthe cat\nno\n"},
      {"empty input", {"cat=dog"}, ""},
      {"bytes 0 kept", {"-0", "cat=dog"}, "a\0cat\n"s},
      {"large input", {"cat=dog"}, std::string(300000, 'x') + "cat\n" + std::string(3 << 20, 'c')},
  };
  return cases;
}

// Standard input gives what the same bytes in a file give, through a pipe and as
// a redirected file, in both modes.
TEST_F(ManyFilesTest, StandardInputGivesWhatAFileGives) {
  for (const PipeCase& c : PipeCases()) {
    SCOPED_TRACE(c.name);
    const std::string expected = SingleRunOutput(c.options, c.input);
    std::vector<std::string> args = c.options;
    args.push_back("-");
    for (bool throughPipe : {true, false}) {
      const e2e::RunResult result = RunWithInput(args, c.input, throughPipe);
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(result.out, expected);
    }
  }
}

TEST_F(ManyFilesTest, APipelineWorksAsANewUserTriesIt) {
  const e2e::RunResult result = RunWithInput({"cat=dog", "-"}, "my cat\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "my dog\r\n\r\n");
  EXPECT_EQ(result.err, "");
  // Standard input stays standard input in a run that may name several files.
  const e2e::RunResult recursive = RunWithInput({"--recursive", "cat=dog", "-"}, "my cat\n");
  EXPECT_EQ(recursive.exitCode, 0);
  EXPECT_EQ(recursive.out, "my dog\r\n\r\n");
  const e2e::RunResult afterEnd = RunWithInput({"-l", "cat=dog", "--", "-"}, "my cat\n");
  EXPECT_EQ(afterEnd.exitCode, 0);
  EXPECT_EQ(afterEnd.out, "my dog\r\n\r\n");
}

// "-" as the output (second name or -o=) is standard output; an output file of
// that name is reached as "./-", and so is an input file.
TEST_F(ManyFilesTest, DashAsTheOutputIsStandardOutput) {
  dir_.Write("in.txt", "a cat\n");
  const std::string expected = Run({"cat=dog", "in.txt"}).out;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"cat=dog", "in.txt", "-"},
                                               {"cat=dog", "-o=-", "in.txt"},
                                               {"-l", "cat=dog", "in.txt", "-"}}) {
    const e2e::RunResult result = Run(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(fs::exists(dir_ / "-"));
    if (args.front() != "-l") EXPECT_EQ(result.out, expected);
  }
  EXPECT_EQ(Run({"-l", "cat=dog", "in.txt", "-"}).out, Run({"-l", "cat=dog", "in.txt"}).out);
  EXPECT_EQ(Run({"cat=dog", "in.txt", "./-"}).exitCode, 0);
  EXPECT_EQ(Read("-"), "a dog\r\n");
  const e2e::RunResult fromFile = RunWithInput({"dog=cow", "./-"}, "not read\n");
  EXPECT_EQ(fromFile.out, "a cow\r\n\r\n");
}

TEST_F(ManyFilesTest, WritingBackStandardInputIsRefusedBeforeAnythingIsRead) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-w", "a=b", "-"},
                                               {"-l", "-w", "a=b", "-"},
                                               {"-w", "a=b", "--", "x.txt", "-"}}) {
    const e2e::RunResult result = RunWithInput(args, "a\n", false);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Error: standard input (-) cannot be written back; leave out -w to have the "
              "result on standard output\r\n");
    EXPECT_FALSE(fs::exists(dir_ / "-.output"));
  }
}

// Without any name the program still shows the syntax and "File not found", and
// reads nothing.
TEST_F(ManyFilesTest, NoInputNameStillReadsNothing) {
  const e2e::RunResult result = RunWithInput({"a=b"}, "a\n", false);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "Error: File not found: \r\n");
}

class WildcardTest : public ManyFilesTest {
 protected:
  void SetUp() override {
    dir_.Write("b.txt", "b cat\n");
    dir_.Write("a.txt", "a cat\r\nsecond\n");
    dir_.Write("Z.txt", "no match\n");
    dir_.Write("c.log", "c cat\n");
    dir_.Write("a1.txt", "a1 cat");
    fs::create_directory(dir_ / "folder.txt");
  }
  // In byte order of the names; the folder that matches is no file. (No two
  // names differ in case alone: Windows takes them for one.)
  const std::vector<std::string> kMatches = {"Z.txt", "a.txt", "a1.txt", "b.txt"};
};

TEST_F(WildcardTest, OutputsFollowEachOtherInByteOrder) {
  for (const std::vector<std::string>& options : {std::vector<std::string>{"cat=dog"},
                                                  {"-l", "cat=dog"},
                                                  {"--keep-eol", "cat=dog"},
                                                  {"-r", "(.)\\s*cat=$1dog"}}) {
    SCOPED_TRACE(options.front());
    std::string expected;
    for (const std::string& name : kMatches) {
      std::vector<std::string> single = options;
      single.push_back(name);
      expected += Run(single).out;
    }
    for (const std::string& jobs : {"--jobs=1", "--jobs=3"}) {
      std::vector<std::string> args = options;
      args.push_back(jobs);
      args.push_back("*.txt");
      const e2e::RunResult result = Run(args);
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(result.out, expected);
      EXPECT_EQ(result.err, "");
    }
  }
}

TEST_F(WildcardTest, QuestionMarkAndFolderPart) {
  fs::create_directory(dir_ / "sub");
  dir_.Write("sub/x1.txt", "x1 cat\n");
  dir_.Write("sub/x22.txt", "x22 cat\n");
  const e2e::RunResult result = Run({"cat=dog", "sub/x?.txt"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "x1 dog\r\n\r\n");
}

TEST_F(WildcardTest, WriteBackWritesEveryMatchAndNothingElse) {
  std::vector<std::string> expected;
  for (const std::string& name : kMatches) {
    fs::copy_file(dir_ / name, dir_ / (name + ".copy"));
    Run({"-w", "cat=dog", name + ".copy"});
    expected.push_back(Read(name + ".copy"));
    fs::remove(dir_ / (name + ".copy"));
  }
  const e2e::RunResult result = Run({"-w", "cat=dog", "*.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "");
  for (std::size_t i = 0; i < kMatches.size(); ++i) EXPECT_EQ(Read(kMatches[i]), expected[i]);
  EXPECT_EQ(Read("c.log"), "c cat\n");
  EXPECT_TRUE(fs::is_directory(dir_ / "folder.txt"));
}

// As a single missing file is reported; among other names, alone on standard error.
TEST_F(WildcardTest, NoMatchIsFileNotFound) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"cat=dog", "*.none"},
                                               {"-l", "cat=dog", "*.none"},
                                               {"--recursive", "cat=dog", "*.none"}}) {
    const e2e::RunResult result = Run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Error: File not found: " + Shown(dir_, "*.none") + "\r\n");
    EXPECT_EQ(result.err, "");
  }
  const e2e::RunResult among = Run({"-w", "cat=dog", "--", "*.none", "b.txt"});
  EXPECT_EQ(among.exitCode, 1);
  EXPECT_EQ(among.out, "");
  EXPECT_EQ(among.err, "Error: File not found: " + Shown(dir_, "*.none") + "\r\n");
  EXPECT_EQ(Read("b.txt"), "b dog\r\n");
}

TEST_F(WildcardTest, OutputFileCollectsTheOutputsAndASecondNameIsRefused) {
  std::string expected;
  for (const std::string& name : kMatches) expected += Run({"cat=dog", name}).out;
  EXPECT_EQ(Run({"cat=dog", "-o=all.out", "*.txt"}).exitCode, 0);
  EXPECT_EQ(Read("all.out"), expected);

  const e2e::RunResult refused = Run({"cat=dog", "*.txt", "out.txt"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "Error: a second file name (the output) cannot go with several input files; -o= "
            "collects their outputs in one file\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "out.txt"));
  EXPECT_EQ(Read("a.txt"), "a cat\r\nsecond\n");
  // "-" as the second name is standard output, where the outputs go anyway.
  const e2e::RunResult toStandardOutput = Run({"cat=dog", "*.txt", "-"});
  EXPECT_EQ(toStandardOutput.exitCode, 0);
  EXPECT_EQ(toStandardOutput.out, expected);
}

TEST_F(WildcardTest, LineByLineWriteBackGivesEachFileItsOutputFile) {
  const e2e::RunResult result = Run({"-l", "-w", "cat=dog", "?.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  for (const std::string& name : {"Z.txt", "a.txt", "b.txt"}) {
    EXPECT_EQ(Read(name + ".output"), Run({"-l", "cat=dog", name}).out);
  }
  EXPECT_FALSE(fs::exists(dir_ / "a1.txt.output"));
}

// After "--" every argument is an input name, one with "=" or a flag's name too,
// and a missing one fails alone.
TEST_F(ManyFilesTest, EndOfOptionsAndAFailingFileAmongGoodOnes) {
  dir_.Write("x=y.txt", "cat x=y\n");
  dir_.Write("-w", "cat -w\n");
  dir_.Write("good.txt", "cat good\n");
  const e2e::RunResult result =
      Run({"--jobs=2", "-w", "cat=dog", "--", "x=y.txt", "missing.txt", "-w", "good.txt"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(Read("x=y.txt"), "dog x=y\r\n");
  EXPECT_EQ(Read("-w"), "dog -w\r\n");
  EXPECT_EQ(Read("good.txt"), "dog good\r\n");
  EXPECT_EQ(result.err, "Error: File not found: " + Shown(dir_, "missing.txt") + "\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "missing.txt"));
}

TEST_F(ManyFilesTest, AnUnreadableFileIsReportedByNameAndTheOthersAreWritten) {
  const std::string unreadable = e2e::UnreadableFile(dir_);
  if (unreadable.empty() || e2e::TestingWindowsBuild()) GTEST_SKIP() << "no unreadable file";
  dir_.Write("one.txt", "cat\n");
  dir_.Write("two.txt", "cat\n");
  const e2e::RunResult result = Run({"-w", "cat=dog", "--", "one.txt", unreadable, "two.txt"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(Read("one.txt"), "dog\r\n");
  EXPECT_EQ(Read("two.txt"), "dog\r\n");
  EXPECT_EQ(result.err.rfind("Exception EFOpenError", 0), 0u) << result.err;
  EXPECT_NE(result.err.find("Cannot open file \"" + unreadable + "\""), std::string::npos);
  // The failure report as a single run makes it: two lines and an empty one.
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 3) << result.err;
}

TEST_F(ManyFilesTest, FilesFromAList) {
  dir_.Write("one.txt", "cat 1\n");
  dir_.Write("two.txt", "cat 2\n");
  dir_.Write("a b.txt", "cat 3\n");
  const std::string list = "two.txt\r\n\r\none.txt\n\na b.txt";
  dir_.Write("list", list);
  const std::string expected = Run({"cat=dog", "two.txt"}).out + Run({"cat=dog", "one.txt"}).out +
                               Run({"cat=dog", "a b.txt"}).out;
  const e2e::RunResult fromFile = Run({"cat=dog", "--files-from=list"});
  EXPECT_EQ(fromFile.exitCode, 0) << fromFile.err;
  EXPECT_EQ(fromFile.out, expected);
  // From standard input, as a pipeline from a finder gives it; a name already
  // given is not processed twice.
  const e2e::RunResult fromPipe =
      RunWithInput({"-w", "cat=dog", "one.txt", "--files-from=-"}, list);
  EXPECT_EQ(fromPipe.exitCode, 0) << fromPipe.err;
  EXPECT_EQ(Read("one.txt"), "dog 1\r\n");
  EXPECT_EQ(Read("two.txt"), "dog 2\r\n");
  EXPECT_EQ(Read("a b.txt"), "dog 3\r\n");
  // Names in a list are taken whole: no wildcard is expanded in them.
  dir_.Write("stars", "*.txt\n");
  const e2e::RunResult starred = Run({"cat=dog", "--files-from=stars"});
  EXPECT_EQ(starred.exitCode, 1);
  EXPECT_EQ(starred.out, "");
  const e2e::RunResult missingList = Run({"cat=dog", "--files-from=nolist"});
  EXPECT_EQ(missingList.exitCode, 1);
  EXPECT_NE(missingList.err.find("Cannot open file"), std::string::npos) << missingList.err;
  EXPECT_EQ(Run({"cat=dog", "-", "--files-from=-"}).exitCode, 1);
}

class TreeTest : public ManyFilesTest {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "tree/sub/deeper");
    fs::create_directories(dir_ / "tree/.hidden");
    fs::create_directories(dir_ / "outside");
    dir_.Write("tree/top.txt", "top cat\n");
    dir_.Write("tree/sub/mid.txt", "mid cat\n");
    dir_.Write("tree/sub/deeper/low.txt", "low cat\n");
    dir_.Write("tree/sub/notes.md", "md cat\n");
    dir_.Write("tree/.hidden/secret.txt", "secret cat\n");
    dir_.Write("tree/.dotfile.txt", "dot cat\n");
    dir_.Write("tree/binary.txt", "bin cat\0more"s);
    dir_.Write("outside/far.txt", "far cat\n");
    // Links only for the POSIX build: the emulator shows the Windows build a link
    // to a folder as the folder itself.
    if (e2e::TestingWindowsBuild()) return;
    fs::create_directory_symlink(dir_ / "outside", dir_ / "tree/link");
    fs::create_directory_symlink(dir_ / "tree", dir_ / "tree/sub/loop");
    fs::create_symlink(dir_ / "tree/top.txt", dir_ / "tree/sub/same.txt");
  }
};

TEST_F(TreeTest, WalksTheTreeButNotHiddenFoldersLinksToFoldersOrBinaryFiles) {
  const e2e::RunResult result = Run({"-w", "cat=dog", "--recursive", "tree"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Read("tree/top.txt"), "top dog\r\n");  // once, though a link leads to it too
  EXPECT_EQ(Read("tree/sub/mid.txt"), "mid dog\r\n");
  EXPECT_EQ(Read("tree/sub/deeper/low.txt"), "low dog\r\n");
  EXPECT_EQ(Read("tree/sub/notes.md"), "md dog\r\n");
  EXPECT_EQ(Read("tree/.dotfile.txt"), "dot dog\r\n");
  EXPECT_EQ(Read("tree/.hidden/secret.txt"), "secret cat\n");
  EXPECT_EQ(Read("outside/far.txt"), "far cat\n");
  EXPECT_EQ(Read("tree/binary.txt"), "bin cat\0more"s);
  if (!e2e::TestingWindowsBuild()) EXPECT_TRUE(fs::is_symlink(dir_ / "tree/sub/same.txt"));
  EXPECT_EQ(result.err, "Skipped binary file \"" + Shown(dir_, "tree/binary.txt") +
                            "\" (a byte 0 in its first 64 KiB; -0 takes it as text)\r\n");
}

TEST_F(TreeTest, AWildcardBelowEveryFolderInByteOrderOfThePaths) {
  const e2e::RunResult result = Run({"--recursive", "-l", "cat=dog", "tree/*.txt"});
  EXPECT_EQ(result.exitCode, 0);
  // ".dotfile.txt" < "binary.txt" (skipped) < "sub/deeper/low.txt" < "sub/mid.txt" <
  // "sub/same.txt" (the top file, met first here) < "top.txt" (met already).
  EXPECT_EQ(result.out, "dot dog\r\n\r\nlow dog\r\n\r\nmid dog\r\n\r\ntop dog\r\n\r\n");
  // With -0 the binary file is text.
  const e2e::RunResult withZero = Run({"-0", "--recursive", "-l", "cat=dog", "tree/b*.txt"});
  EXPECT_EQ(withZero.exitCode, 0);
  EXPECT_EQ(withZero.err, "");
  EXPECT_EQ(withZero.out, Run({"-0", "-l", "cat=dog", "tree/binary.txt"}).out);
}

// Many files on several threads: the same outputs in the same order as one thread.
TEST_F(ManyFilesTest, ThreadsKeepTheOrder) {
  fs::create_directory(dir_ / "many");
  std::string expected;
  for (int i = 0; i < 120; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "many/f%03d.txt", i);
    // Sizes differ a lot, so the files finish out of order.
    dir_.Write(name, std::string(static_cast<std::size_t>((i * 7919) % 50000), 'x') + " cat " +
                         std::to_string(i) + "\n");
  }
  const e2e::RunResult one = Run({"--jobs=1", "cat=dog", "many/*.txt"});
  const e2e::RunResult four = Run({"--jobs=4", "cat=dog", "many/*.txt"});
  EXPECT_EQ(one.exitCode, 0);
  EXPECT_EQ(four.exitCode, 0);
  EXPECT_EQ(four.out, one.out);
  EXPECT_NE(one.out.find(" dog 119\r\n"), std::string::npos);
  const e2e::RunResult written = Run({"-w", "cat=dog", "many/*.txt"});
  EXPECT_EQ(written.exitCode, 0);
  EXPECT_EQ(Read("many/f042.txt").substr(Read("many/f042.txt").size() - 9), " dog 42\r\n");
}

// On a terminal: one progress line for the files, no status line of each file.
TEST_F(ManyFilesTest, ProgressLineOnATerminal) {
  dir_.Write("one.txt", "cat\n");
  dir_.Write("two.txt", "cat\n");
  const auto shown = e2e::RunQuorveOnTerminal({"-l", "cat=dog", "*.txt"}, dir_.path());
  const std::string screen = e2e::ScreenText(shown.terminal);
  EXPECT_NE(screen.find("Processing file 2 of 2"), std::string::npos) << screen;
  EXPECT_EQ(screen.find(Shown(dir_, "one.txt")), std::string::npos) << screen;
}

}  // namespace
