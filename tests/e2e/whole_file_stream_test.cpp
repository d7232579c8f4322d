// Whole-file mode through the real executable where its text goes in blocks: a
// file of many blocks with matches across their edges, on two threads; a byte 0
// that would cut a written-back file; failed writes to standard output; and the
// input's own line ends kept (--keep-eol).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace std::string_literals;
using e2e::Shown;
namespace fs = std::filesystem;

class WholeFileStreamTest : public ::testing::Test {
 protected:
  // Runs with standard output on the given descriptor; standard error captured.
  e2e::RunResult RunWithOutputTo(int outFd, const std::vector<std::string>& args) {
    const std::string errName = dir_ / "stderr.txt";
    const int errFd = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int inFd = open("/dev/null", O_RDONLY);
    e2e::RunResult result;
    result.exitCode = e2e::SpawnQuorve(args, dir_.path(), inFd, outFd, errFd);
    close(errFd);
    close(inFd);
    result.err = dir_.Read("stderr.txt");
    fs::remove(errName);
    return result;
  }

  // Names and identities of the folder's entries, to see that nothing was
  // replaced, added or left behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test_support::TempFolder dir_;
};

// Lines of several MiB in all, with the search across line ends, so matches and
// CR LF pairs fall on every kind of block edge, on two threads.
TEST_F(WholeFileStreamTest, AFileOfManyBlocksGivesTheSameBytesAsReplacingItWhole) {
  std::string input;
  std::string expected;
  for (int i = 0; input.size() < (std::size_t{5} << 20); ++i) {
    const std::string line = "line " + std::to_string(i) + (i % 3 == 0 ? " end" : " cat");
    input += line + (i % 2 ? "\r\n" : "\n");
    expected += line + "\r\n";
  }
  // "cat" at a line's end followed by the next line's start becomes one word.
  std::string replaced;
  for (std::size_t at = 0;;) {
    const std::size_t hit = expected.find("cat\r\nline", at);
    if (hit == std::string::npos) {
      replaced += expected.substr(at);
      break;
    }
    replaced += expected.substr(at, hit - at) + "CAT+LINE";
    at = hit + 9;
  }
  dir_.Write("in.txt", input);
  auto result = e2e::RunQuorve({"-c", "cat\\r\\nline=CAT+LINE", "in.txt", "out.txt"}, dir_.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(dir_.Read("out.txt") == replaced);

  result = e2e::RunQuorve({"-c", "-w", "cat\\r\\nline=CAT+LINE", "in.txt"}, dir_.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(dir_.Read("in.txt") == replaced);
}

struct RefusalCase {
  std::string name;
  std::string input;
  std::vector<std::string> args;  // -w and the input's name, or the input's name twice, are added
  std::string message;            // "%s" stands for the input's full name
};

// Cut short and written back, the rest of the user's file would be gone: the run
// is refused, the file stays as it was and nothing is left beside it.
TEST_F(WholeFileStreamTest, AByteZeroThatWouldCutAWrittenBackFileIsRefused) {
  const std::vector<RefusalCase> cases = {
      {"in the file",
       "ab\r\ncd\0ef\r\ngh\r\n"s,
       {},
       "Error: byte 0 at offset 6 of \"%s\": the rest of the text would be dropped, so the file "
       "is not written; -0 keeps it\r\n"},
      {"in the file, far into it",
       std::string(3 << 20, 'x') + "\0tail\n"s,
       {"x=y"},
       "Error: byte 0 at offset 3145728 of \"%s\": the rest of the text would be dropped, so the "
       "file is not written; -0 keeps it\r\n"},
      {"made by a pair",
       "bab\nnext\n",
       {"a=\\x00"},
       "Error: byte 0 at offset 1 of the processed text of \"%s\": the rest of the text would be "
       "dropped, so the file is not written\r\n"},
      {"kept by -0 as byte 0",
       "ab\0cd\n"s,
       {"-0=x00"},
       "Error: byte 0 at offset 2 of the processed text of \"%s\": the rest of the text would be "
       "dropped, so the file is not written\r\n"},
      {"with expressions",
       "ab\0cd\n"s,
       {"-r", "b=c"},
       "Error: byte 0 at offset 2 of \"%s\": the rest of the text would be dropped, so the file "
       "is not written; -0 keeps it\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.Write("in.txt", c.input);
    for (const bool namedAsOutput : {false, true}) {
      std::vector<std::string> args = c.args;
      if (!namedAsOutput) args.insert(args.begin(), "-w");
      args.push_back("in.txt");
      if (namedAsOutput) args.push_back("in.txt");  // the output named as the input
      const auto result = e2e::RunQuorve(args, dir_.path());
      EXPECT_EQ(result.exitCode, 1);
      std::string message = c.message;
      message.replace(message.find("%s"), 2, Shown(dir_, "in.txt"));
      EXPECT_EQ(result.err, message);
      EXPECT_EQ(result.out, "");
      EXPECT_TRUE(dir_.Read("in.txt") == c.input);
      EXPECT_EQ(Entries(), std::vector<std::string>{"in.txt"});
    }
  }
  // To another file the text is cut as before, with the warning.
  dir_.Write("in.txt", "ab\0cd\n"s);
  const auto result = e2e::RunQuorve({"in.txt", "out.txt"}, dir_.path());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(dir_.Read("out.txt"), "ab\r\n");
  EXPECT_NE(result.err.find("Warning: byte 0 at offset 2"), std::string::npos) << result.err;
}

TEST_F(WholeFileStreamTest, AFailedWriteToStandardOutputIsAFailure) {
  dir_.Write("small.txt", "one cat\n");
  dir_.Write("large.txt", std::string(3 << 20, 'x') + "\n");
  const int full = open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "no /dev/full here";
  for (const char* input : {"small.txt", "large.txt"}) {
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"-r"}}) {
      std::vector<std::string> args = extra;
      args.insert(args.end(), {"cat=dog", input});
      const auto result = RunWithOutputTo(full, args);
      EXPECT_EQ(result.exitCode, 1) << input;
      EXPECT_NE(result.err.find("EInOutError"), std::string::npos) << result.err;
      EXPECT_NE(result.err.find("Disk full."), std::string::npos) << result.err;
    }
  }
  close(full);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);  // nobody reads: every write fails
  const auto result = RunWithOutputTo(ends[1], {"cat=dog", "large.txt"});
  close(ends[1]);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("EInOutError"), std::string::npos) << result.err;
}

struct KeepCase {
  std::string name;
  std::string input;
  std::vector<std::string> args;  // "--keep-eol" and the input's name are added
  std::string out;                // to standard output
};

TEST_F(WholeFileStreamTest, KeptLineEndsFollowTheInputsFirstLineEnd) {
  // clang-format off
  const std::vector<KeepCase> cases = {
      {"LF", "one cat\ntwo\n", {"cat=dog"}, "one dog\ntwo\n"},
      {"CR LF", "one cat\r\ntwo\r\n", {"cat=dog"}, "one dog\r\ntwo\r\n"},
      {"CR", "one cat\rtwo\r", {"cat=dog"}, "one dog\rtwo\r"},
      {"no final line end", "one cat\ntwo", {"cat=dog"}, "one dog\ntwo"},
      {"mixed: the first one wins", "a\nb\r\nc\rd", {}, "a\nb\nc\nd"},
      {"no line end at all: CR LF", "a,b", {",=\\n"}, "a\r\nb"},
      {"pairs still see CR LF", "a\nb\n", {"a\\r\\nb=ab"}, "ab\n"},
      {"line made by a pair", "a,b\n", {",=\\r\\n"}, "a\nb\n"},
      {"header and footer", "mid\n", {"-h=top", "-f=end"}, "top\nmid\nend\n"},
      {"footer after an unended line", "mid", {"-f=end"}, "mid\r\nend"},
      {"footer after an unended LF line", "a\nmid", {"-f=end"}, "a\nmid\nend"},
      {"empty file", "", {}, ""},
      {"--unix wins", "a\r\nb", {"--unix"}, "a\nb\n\r\n"},
      {"expressions", "one cat\ntwo", {"-r", "c.t=dog"}, "one dog\ntwo"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.Write("in.txt", c.input);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--keep-eol");
    args.push_back("in.txt");
    const auto result = e2e::RunQuorve(args, dir_.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
  }
}

// A run that changes nothing does not write the file at all: same identity, same
// time; a file whose line ends differ is written.
TEST_F(WholeFileStreamTest, KeptLineEndsLeaveAnUnchangedFileUntouched) {
  for (const std::string& input :
       std::vector<std::string>{"a\nb\n", "a\r\nb", "a\rb\r", std::string(3 << 20, 'q') + "\n"}) {
    dir_.Write("in.txt", input);
    const auto before = fs::last_write_time(dir_ / "in.txt") - std::chrono::hours(1);
    fs::last_write_time(dir_ / "in.txt", before);
    struct stat original {};
    ASSERT_EQ(stat((dir_ / "in.txt").c_str(), &original), 0);
    const auto result = e2e::RunQuorve({"-w", "--keep-eol", "zzz=y", "in.txt"}, dir_.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    struct stat after {};
    ASSERT_EQ(stat((dir_ / "in.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, original.st_ino);
    EXPECT_EQ(fs::last_write_time(dir_ / "in.txt"), before);
    EXPECT_TRUE(dir_.Read("in.txt") == input);
    EXPECT_EQ(Entries(), std::vector<std::string>{"in.txt"});
  }
  dir_.Write("in.txt", "a\nb\r\nc\n");
  auto result = e2e::RunQuorve({"-w", "--keep-eol", "zzz=y", "in.txt"}, dir_.path());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("in.txt"), "a\nb\nc\n");
  dir_.Write("in.txt", "a\nb\n");
  result = e2e::RunQuorve({"-w", "--keep-eol", "b=c", "in.txt"}, dir_.path());
  EXPECT_EQ(dir_.Read("in.txt"), "a\nc\n");
  dir_.Write("in.txt", "a\nb\n");
  result = e2e::RunQuorve({"-w", "--keep-eol", "-f=end", "in.txt"}, dir_.path());
  EXPECT_EQ(dir_.Read("in.txt"), "a\nb\nend\n");
}

}  // namespace
