// Whole-file mode through the real executable: each way of writing, header and
// footer, bytes 0, line ends, pairs, and the failures that must leave files alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace std::string_literals;
using e2e::Shown;
namespace fs = std::filesystem;

class WholeFileTest : public ::testing::Test {
 protected:
  e2e::RunResult Run(const std::vector<std::string>& args) {
    return e2e::RunQuorve(args, dir_.path());
  }
  std::string Full(const std::string& name) const { return dir_ / name; }

  test_support::TempFolder dir_;
};

struct StdoutCase {
  std::string name;
  std::string input;
  std::vector<std::string> args;  // the input file's name is added last
  std::string out;
  // Wine does not pass such arguments to the Windows build exactly; the same cases
  // are also given with escapes.
  bool nonAsciiArguments = false;
};

// Standard output ends with one more CR LF than the text itself.
TEST_F(WholeFileTest, WritesTheProcessedTextToStandardOutput) {
  const std::vector<StdoutCase> cases = {
      {"crlf", "one cat\ntwo\r\nthree", {"cat=dog"}, "one dog\r\ntwo\r\nthree\r\n\r\n"},
      {"unix", "one cat\r\ntwo\r\nthree", {"--unix", "cat=dog"}, "one dog\ntwo\nthree\n\r\n"},
      {"lone ends", "a\rb\nc\n\rd", {}, "a\r\nb\r\nc\r\n\r\nd\r\n\r\n"},
      {"join", "a\r\nb\nc", {"\\r\\n="}, "abc\r\n\r\n"},
      {"crlf to lf, unix", "a\r\nb\r\n", {"--unix", "\\r\\n=\\n"}, "a\nb\n\r\n"},
      {"replacement with lf", "a+b", {"+=\\n"}, "a\r\nb\r\n\r\n"},
      {"pairs in order", "ab", {"a=b", "b=c"}, "cc\r\n\r\n"},
      {"pairs in other order", "ab", {"b=c", "a=b"}, "bc\r\n\r\n"},
      {"case-insensitive", "Cat cat CAT", {"cat=dog"}, "dog dog dog\r\n\r\n"},
      {"case-sensitive", "Cat cat CAT", {"-c", "cat=dog"}, "Cat dog CAT\r\n\r\n"},
      {"-c twice", "Cat cat", {"-c", "-c", "cat=dog"}, "dog dog\r\n\r\n"},
      {"empty search", "abc", {"=x"}, "abc\r\n\r\n"},
      // Emptying a line must not join a lone CR and a lone LF, nor drop an unended
      // last line.
      {"emptied line between CR and LF", "x\rA\nb\n", {"A="}, "x\r\n\r\nb\r\n\r\n"},
      {"emptied last line", "a\nx", {"x="}, "a\r\n\r\n\r\n"},
      {"empty file", "", {}, "\r\n"},
      {"empty file with header", "", {"-h=top"}, "top\r\n\r\n"},
      {"header and footer", "mid", {"-h=top", "-f=end"}, "top\r\nmid\r\nend\r\n\r\n"},
      {"header and footer, unix", "mid\r\n", {"--unix", "-h=top", "-f=end"}, "top\nmid\nend\n\r\n"},
      {"zero kept", "ab\0cd\nef"s, {"-0"}, "ab\x01"s + "cd\r\nef\r\n\r\n"},
      {"zero substitute", "ab\0cd"s, {"-0=x1F"}, "ab\x1F"s + "cd\r\n\r\n"},
      // The substitute LF is no line end when the file is read, but is one when the
      // result is split.
      {"zero substitute LF stays in line", "a\0b"s, {"-0=x0A", "a\\nb=X"}, "X\r\n\r\n"},
      {"zero substitute LF splits at the end", "a\0b"s, {"-0=x0A"}, "a\r\nb\r\n\r\n"},
      {"dos", "\xC4rende \xE5t S\xF6ren \xE3", {"-dos"}, "\x8Erende \x86t S\x94ren \xE3\r\n\r\n"},
      {"dos leaves header alone", "\xC4", {"-dos", "-h=\\xC4", "x=\\xE4"}, "\xC4\r\n\x8E\r\n\r\n"},
      {"dos converts replacement", "x", {"-dos", "x=\\xE4"}, "\x84\r\n\r\n"},
      {"dos leaves header alone, bytes",
       "\xC4",
       {"-dos", "-h=\xC4", "x=\xE4"},
       "\xC4\r\n\x8E\r\n\r\n",
       true},
      {"dos converts replacement, bytes", "x", {"-dos", "x=\xE4"}, "\x84\r\n\r\n", true},
  };
  for (const auto& c : cases) {
    if (c.nonAsciiArguments && e2e::TestingWindowsBuild()) continue;
    SCOPED_TRACE(c.name);
    dir_.Write("in.txt", c.input);
    std::vector<std::string> args = c.args;
    args.push_back("in.txt");
    const auto result = Run(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
  }
}

TEST_F(WholeFileTest, WritesTheOutputFileWithCrLfOrLf) {
  dir_.Write("in.txt", "one cat\ntwo");
  auto result = Run({"cat=dog", "in.txt", "out.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(dir_.Read("out.txt"), "one dog\r\ntwo\r\n");
  EXPECT_EQ(dir_.Read("in.txt"), "one cat\ntwo");

  result = Run({"--unix", "-o=lf.txt", "cat=dog", "-h=top", "in.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(dir_.Read("lf.txt"), "top\none dog\ntwo\n");

  dir_.Write("old.txt", "a much longer old content that must go entirely\r\n");
  result = Run({"cat=dog", "in.txt", "old.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("old.txt"), "one dog\r\ntwo\r\n");
}

TEST_F(WholeFileTest, WriteBackOverwritesTheInputAndWinsOverOtherTargets) {
  dir_.Write("in.txt", "cat\n");
  auto result = Run({"-w", "cat=dog", "in.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(dir_.Read("in.txt"), "dog\r\n");

  result = Run({"-w", "-o=other.txt", "dog=cow", "in.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("in.txt"), "cow\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "other.txt"));

  result = Run({"-w", "cow=ox", "in.txt", "second.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("in.txt"), "ox\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "second.txt"));

  result = Run({"--unix", "in.txt", "-w"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("in.txt"), "ox\n");
}

TEST_F(WholeFileTest, WriteBackThroughASymbolicLinkReplacesTheFileAndKeepsTheLink) {
  dir_.Write("real.txt", "cat\n");
  fs::permissions(dir_ / "real.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real.txt", dir_ / "link.txt");
  const auto result = Run({"-w", "cat=dog", "link.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(fs::read_symlink(dir_ / "link.txt"), fs::path("real.txt"));
  EXPECT_EQ(dir_.Read("real.txt"), "dog\r\n");
  if (e2e::TestingWindowsBuild()) return;  // Windows files have no POSIX mode bits to keep
  EXPECT_EQ(fs::status(dir_ / "real.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Makes a file and its folder refuse writing for as long as it lives: by their
// permission bits, or (for root, whom those do not stop) by the immutable attribute.
class LockedTarget {
 public:
  explicit LockedTarget(const fs::path& file) : paths_{file, file.parent_path()} {
    for (const auto& path : paths_) {
      if (e2e::RunningAsRoot()) {
        if (std::system(("chattr +i '" + path.string() + "' 2>/dev/null").c_str()) != 0) return;
      } else {
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
      }
      ++locked_;
    }
  }
  ~LockedTarget() {
    for (int i = locked_ - 1; i >= 0; --i) {
      if (e2e::RunningAsRoot()) {
        [[maybe_unused]] int ignored =
            std::system(("chattr -i '" + paths_[i].string() + "'").c_str());
      } else {
        fs::permissions(paths_[i], fs::perms::owner_write, fs::perm_options::add);
      }
    }
  }
  bool locked() const { return locked_ == 2; }

 private:
  std::vector<fs::path> paths_;
  int locked_ = 0;
};

TEST_F(WholeFileTest, TargetThatCannotBeWrittenKeepsItsOldContent) {
  fs::create_directory(dir_ / "locked");
  const std::string target = Full("locked/target.txt");
  e2e::WriteFile(target, "old content\r\n");
  dir_.Write("in.txt", "new cat\n");
  e2e::RunResult writeBack;
  e2e::RunResult second;
  {
    LockedTarget lock(target);
    if (!lock.locked()) GTEST_SKIP() << "cannot make a folder unwritable here";
    second = Run({"cat=dog", "in.txt", target});
    writeBack = Run({"-w", "old=new", target});
  }
  for (const auto* result : {&second, &writeBack}) {
    EXPECT_EQ(result->exitCode, 1);
    EXPECT_NE(result->err.find("EFCreateError"), std::string::npos) << result->err;
    EXPECT_NE(result->err.find("Cannot create file \"" + e2e::ProgramPath(target) + "\"."),
              std::string::npos)
        << result->err;
  }
  EXPECT_EQ(e2e::ReadFile(target), "old content\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "locked"), fs::directory_iterator()), 1);
}

TEST_F(WholeFileTest, MissingInputFileIsAnError) {
  const auto result = Run({"cat=dog", "missing.txt"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.out.find("Error: File not found: " + Shown(dir_, "missing.txt") + "\r\n"),
            std::string::npos)
      << result.out;
}

TEST_F(WholeFileTest, ByteZeroWithoutKeepOptionCutsTheTextAndWarnsOnce) {
  dir_.Write("in.txt", "ab\r\ncd\0ef\r\ngh\r\n"s);
  for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"-q"}}) {
    std::vector<std::string> args = extra;
    args.push_back("in.txt");
    const auto result = Run(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "ab\r\ncd\r\n\r\n");
    const std::string warning = "Warning: byte 0 at offset 6 of \"" + Shown(dir_, "in.txt") +
                                "\": the rest of the text is dropped; -0 keeps it\r\n";
    EXPECT_EQ(result.err, warning);
  }

  const auto kept = Run({"-0", "in.txt"});
  EXPECT_EQ(kept.out, "ab\r\ncd\x01"s + "ef\r\ngh\r\n\r\n");
  EXPECT_EQ(kept.err, "");
}

TEST_F(WholeFileTest, ByteZeroFromAPairCutsTheTextWithItsOwnWarning) {
  dir_.Write("in.txt", "bab\nnext\n");
  const auto result = Run({"a=\\x00", "in.txt"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "b\r\n\r\n");
  EXPECT_EQ(result.err, "Warning: byte 0 at offset 1 of the processed text of \"" +
                            Shown(dir_, "in.txt") + "\": the rest of the text is dropped\r\n");
}

TEST_F(WholeFileTest, WriteBackOfATextWithByteZeroKeepsEverythingWithKeepOption) {
  dir_.Write("in.txt", "x\0y\nz\n"s);
  const auto result = Run({"-w", "-0", "z=w", "in.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("in.txt"), "x\x01y\r\nw\r\n");
}

TEST_F(WholeFileTest, RegularExpressionsWorkOnTheWholeJoinedText) {
  dir_.Write("in.txt", "cat cot\ncut\n");
  const auto result = Run({"-r", "c[aou]t=dog", "in.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "dog dog\r\ndog\r\n\r\n");
}

}  // namespace
