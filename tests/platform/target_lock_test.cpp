#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

using test_support::TempFolder;
using test_support::WriteFile;

ino_t InodeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Whether another process can take the lock on the file right now.
bool LockIsFree(const std::string& path) {
  pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(TargetLock, IsHeldUntilItGoesAndNothingIsLockedForNames) {
  TempFolder folder;
  const std::string file = folder / "t.txt";
  WriteFile(file, "x");
  {
    const platform::TargetLock lock(file);
    EXPECT_TRUE(lock.Held());
    EXPECT_FALSE(LockIsFree(file));
    platform::TargetLock moved = std::move(const_cast<platform::TargetLock&>(lock));
    EXPECT_TRUE(moved.Held());
    EXPECT_FALSE(LockIsFree(file));
  }
  EXPECT_TRUE(LockIsFree(file));
  for (const std::string& name :
       {folder / "missing.txt", folder.Path(), std::string("/dev/null"), std::string()}) {
    EXPECT_FALSE(platform::TargetLock(name).Held()) << name;
  }
}

struct SeenByTheSecondRun {
  bool toldToWait = false;
  bool held = false;
  ino_t inode = 0;
};

// A second run waits for the first, which replaces the file by a rename and lets
// go: the second must then hold the lock on the new file, not the old one. (The
// second is forked before the first takes its lock: a forked child would share it.)
TEST(TargetLock, AWaitingRunEndsUpOnTheFileThatReplacedTheLockedOne) {
  TempFolder folder;
  const std::string file = folder / "t.txt";
  WriteFile(file, "old");
  int go[2];
  int report[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    char byte;
    if (::read(go[0], &byte, 1) != 1) ::_exit(1);
    SeenByTheSecondRun seen;
    const platform::TargetLock second(file, [&] { seen.toldToWait = true; });
    seen.held = second.Held();
    seen.inode = InodeOf(file);
    ::_exit(::write(report[1], &seen, sizeof seen) == sizeof seen ? 0 : 1);
  }
  platform::TargetLock first(file);
  ASSERT_TRUE(first.Held());
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the second run must wait";
  platform::ReplacementFile replacement;
  ASSERT_EQ(platform::BeginReplacement(file, replacement), 0);
  std::size_t written = 0;
  platform::WriteBytes(replacement.handle, "new", 3, written);
  ASSERT_EQ(platform::CommitReplacement(replacement), 0);
  const ino_t replaced = InodeOf(file);
  first = platform::TargetLock();
  ::waitpid(child, &status, 0);
  SeenByTheSecondRun seen;
  ASSERT_EQ(::read(report[0], &seen, sizeof seen), static_cast<ssize_t>(sizeof seen));
  EXPECT_TRUE(seen.toldToWait);
  EXPECT_TRUE(seen.held);
  EXPECT_EQ(seen.inode, replaced);
  for (int fd : {go[0], go[1], report[0], report[1]}) ::close(fd);
}

}  // namespace
