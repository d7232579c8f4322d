// Folder listing with a pattern, scratch files, file identities and the
// processor count: the pieces a run over several files takes from the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace {

using test_support::TempFolder;

std::vector<std::string> Listed(const std::string& folder, std::string_view pattern,
                                platform::EntryKind kind) {
  std::vector<platform::FolderEntry> entries;
  EXPECT_EQ(platform::ListFolder(folder, pattern, entries), 0);
  std::vector<std::string> names;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.kind == kind) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "ab.txt", "b.log", ".hidden.txt", "x"})
      dir_.Write(name, name);
    std::filesystem::create_directory(dir_.path() / "sub.txt");
  }
  TempFolder dir_;
};

TEST_F(FolderListingTest, PatternsMatchNamesOfFilesAndFolders) {
  using platform::EntryKind;
  struct Case {
    std::string pattern;
    std::vector<std::string> files;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"*", {".hidden.txt", "a.txt", "ab.txt", "b.log", "x"}, {"sub.txt"}},
      {"*.txt", {".hidden.txt", "a.txt", "ab.txt"}, {"sub.txt"}},
      {"?.txt", {"a.txt"}, {}},
      {"a*", {"a.txt", "ab.txt"}, {}},
      {"*.none", {}, {}},
      {"x", {"x"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Listed(dir_.Path(), c.pattern, EntryKind::File), c.files);
    EXPECT_EQ(Listed(dir_.Path(), c.pattern, EntryKind::Folder), c.folders);
  }
}

TEST_F(FolderListingTest, AFolderThatIsNotThereFails) {
  std::vector<platform::FolderEntry> entries{{"stale", platform::EntryKind::File}};
  EXPECT_NE(platform::ListFolder(dir_ / "none", "*", entries), 0);
  EXPECT_TRUE(entries.empty());
}

TEST_F(FolderListingTest, TheCurrentFolderByAnEmptyName) {
  test_support::CurrentFolderScope here(dir_.path());
  EXPECT_EQ(Listed("", "a*", platform::EntryKind::File),
            (std::vector<std::string>{"a.txt", "ab.txt"}));
}

TEST(Wildcards, OnlyStarAndQuestionMark) {
  EXPECT_TRUE(platform::HasWildcard("*.txt"));
  EXPECT_TRUE(platform::HasWildcard("a?"));
  EXPECT_FALSE(platform::HasWildcard("a[b].txt"));
  EXPECT_FALSE(platform::HasWildcard(""));
}

TEST(ScratchFile, HoldsWhatIsWrittenAndLeavesNoName) {
  TempFolder dir;
  platform::FileHandle handle = platform::kInvalidHandle;
  ASSERT_EQ(platform::CreateScratchFile(handle), 0);
  const std::string bytes = std::string("a\r\nb\0c\n", 7) + std::string(100000, 'x');
  std::size_t written = 0;
  ASSERT_EQ(platform::WriteBytes(handle, bytes.data(), bytes.size(), written), 0);
  EXPECT_EQ(written, bytes.size());
  std::uint64_t position = 1;
  ASSERT_EQ(platform::SeekTo(handle, 0, platform::SeekOrigin::Begin, position), 0);
  EXPECT_EQ(position, 0u);
  std::string back(bytes.size() + 10, '?');
  std::size_t got = 0;
  std::size_t total = 0;
  do {
    ASSERT_EQ(platform::ReadBytes(handle, back.data() + total, back.size() - total, got), 0);
    total += got;
  } while (got != 0);
  back.resize(total);
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(platform::CloseFileHandle(handle), 0);
}

TEST(FileIdentity, TheSameFileByEveryName) {
  TempFolder dir;
  dir.Write("one", "1");
  dir.Write("two", "1");
  const std::string key = platform::FileIdentityKey(dir / "one");
  EXPECT_FALSE(key.empty());
  EXPECT_EQ(
      platform::FileIdentityKey(dir.Path() + "/../" + dir.path().filename().string() + "/one"),
      key);
  EXPECT_NE(platform::FileIdentityKey(dir / "two"), key);
  EXPECT_EQ(platform::FileIdentityKey(dir / "none"), "");
  std::error_code failed;
  std::filesystem::create_hard_link(dir / "one", dir.path() / "hard", failed);
  if (!failed) {
    EXPECT_EQ(platform::FileIdentityKey(dir / "hard"), key);
  }
}

TEST(ProcessorCount, AtLeastOne) {
  EXPECT_GE(platform::ProcessorCount(), 1u);
}

}  // namespace
