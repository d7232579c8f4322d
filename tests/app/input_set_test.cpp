// Which files a request names: wildcards, lists, trees, order and duplicates.
#include "app/input_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app_fixture.h"
#include "base/exceptions.h"

namespace apptest {
namespace {

namespace fs = std::filesystem;
using InputSetTest = AppTest;

TEST(ListedNames, OneNameALineEitherLineEndEmptyLinesSkipped) {
  struct Case {
    std::string text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"\n\r\n\na\n\n", {"a"}},
      {"a b\n c \n", {"a b", " c "}},  // blanks belong to the name
      {"a\rb\n", {"a\rb"}},            // only a CR before the LF is a line end
      {"a\r", {"a"}},
      {"x=y\n-\n--\n", {"x=y", "-", "--"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ListedNames(c.text), c.names);
  }
}

TEST(NamesManyFiles, OnlyWhatMayNameSeveralFiles) {
  struct Case {
    InputRequest request;
    bool many;
  };
  const Case cases[] = {
      {{{"/d/a.txt"}, "", false}, false},
      {{{"-"}, "", false}, false},
      {{{}, "", false}, false},
      {{{"/d/a.txt", "/d/b.txt"}, "", false}, true},
      {{{"/d/*.txt"}, "", false}, true},
      {{{"/d/a?.txt"}, "", false}, true},
      {{{"/d*/a.txt"}, "", false}, false},  // a wildcard in a folder part is no wildcard
      {{{"/d/a.txt"}, "list", false}, true},
      {{{}, "-", false}, true},
      {{{"/d"}, "", true}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request.names.empty() ? c.request.listFile : c.request.names.front());
    EXPECT_EQ(NamesManyFiles(c.request), c.many);
  }
}

TEST_F(InputSetTest, RequestFromTheSettings) {
  Settings.InputFile = "/d/first";
  Settings.MoreInputFiles = {"/d/second", "-"};
  Settings.FilesFrom = "/d/list";
  Settings.Recursive = true;
  const InputRequest request = InputRequestFrom(Settings);
  EXPECT_EQ(request.names, (std::vector<std::string>{"/d/first", "/d/second", "-"}));
  EXPECT_EQ(request.listFile, "/d/list");
  EXPECT_TRUE(request.recursive);
}

class ExpandTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    fs::create_directories(dir_.path() / "top/sub/deep");
    fs::create_directories(dir_.path() / "top/.hidden");
    fs::create_directories(dir_.path() / "top/b.txt.d");
    for (const char* name : {"top/b.txt", "top/a.txt", "top/Z.txt", "top/a.log", "top/.a.txt",
                             "top/sub/c.txt", "top/sub/deep/d.txt", "top/.hidden/e.txt"}) {
      dir_.Write(name, name);
    }
  }
  // With the system's separators, as the walk joins names.
  std::string At(const std::string& name) const {
    return (dir_.path() / fs::path(name).make_preferred()).string();
  }
  std::vector<std::string> All(const std::vector<std::string>& names) const {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(At(name));
    return paths;
  }

  test_support::TempFolder dir_;
};

TEST_F(ExpandTest, AWildcardNamesTheMatchingFilesInByteOrder) {
  const InputRequest request{{At("top/*.txt")}, "", false};
  EXPECT_EQ(ExpandInputs(request), All({"top/.a.txt", "top/Z.txt", "top/a.txt", "top/b.txt"}));
  EXPECT_EQ(ExpandInputs({{At("top/?.txt")}, "", false}),
            All({"top/Z.txt", "top/a.txt", "top/b.txt"}));
}

TEST_F(ExpandTest, NamesWithoutWildcardStayAsTheyAreEvenWhenMissing) {
  const InputRequest request{
      {At("top/b.txt"), At("top/none.txt"), At("top/*.none"), "-"}, "", false};
  EXPECT_EQ(ExpandInputs(request),
            (std::vector<std::string>{At("top/b.txt"), At("top/none.txt"), At("top/*.none"), "-"}));
}

TEST_F(ExpandTest, RecursiveWalksEveryFolderButHiddenOnes) {
  EXPECT_EQ(ExpandInputs({{At("top")}, "", true}),
            All({"top/.a.txt", "top/Z.txt", "top/a.log", "top/a.txt", "top/b.txt", "top/sub/c.txt",
                 "top/sub/deep/d.txt"}));
  EXPECT_EQ(ExpandInputs({{At("top/*.txt")}, "", true}),
            All({"top/.a.txt", "top/Z.txt", "top/a.txt", "top/b.txt", "top/sub/c.txt",
                 "top/sub/deep/d.txt"}));
  // Without --recursive a folder is just a name (its run reports it).
  EXPECT_EQ(ExpandInputs({{At("top")}, "", false}), All({"top"}));
}

TEST_F(ExpandTest, AFileIsTakenOnceWhicheverNamesReachIt) {
  const InputRequest request{{At("top/b.txt"), At("top/*.txt"), At("top/sub/../b.txt")}, "", false};
  EXPECT_EQ(ExpandInputs(request), All({"top/b.txt", "top/.a.txt", "top/Z.txt", "top/a.txt"}));
}

TEST_F(ExpandTest, LinksToFoldersAreNotFollowedLinksToFilesAreTheFiles) {
  std::error_code failed;
  fs::create_directory_symlink(dir_.path() / "top", dir_.path() / "top/sub/loop", failed);
  if (!failed) fs::create_symlink(dir_.path() / "top/a.log", dir_.path() / "top/sub/z.log", failed);
  if (failed) GTEST_SKIP() << "no links here";
  EXPECT_EQ(ExpandInputs({{At("top/sub")}, "", true}),
            All({"top/sub/c.txt", "top/sub/deep/d.txt", "top/sub/z.log"}));
  // The link and the file it leads to are one file.
  EXPECT_EQ(ExpandInputs({{At("top/sub/z.log"), At("top/a.log")}, "", false}),
            All({"top/sub/z.log"}));
}

TEST_F(ExpandTest, AListAfterTheNamesItsNamesTakenWhole) {
  ScratchFolder scratch;  // relative names in the list are relative to the current folder
  dir_.Write("list", At("top/sub/c.txt") + "\r\n\r\n" + At("top/*.txt") + "\n" + At("top/b.txt") +
                         "\n" + At("top/sub") + "\n");
  EXPECT_EQ(ExpandInputs({{At("top/b.txt")}, At("list"), false}),
            All({"top/b.txt", "top/sub/c.txt", "top/*.txt", "top/sub"}));
  EXPECT_EQ(ExpandInputs({{}, At("list"), true}),
            All({"top/sub/c.txt", "top/*.txt", "top/b.txt", "top/sub/deep/d.txt"}));
  scratch.Write("here.txt", "x");
  scratch.Write("relative", "here.txt\n");
  EXPECT_EQ(ExpandInputs({{}, scratch / "relative", false}),
            (std::vector<std::string>{scratch / "here.txt"}));
  EXPECT_THROW(ExpandInputs({{}, At("no-list"), false}), Exception);
}

}  // namespace
}  // namespace apptest
