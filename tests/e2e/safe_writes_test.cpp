// What a run does to the files it writes when things go wrong around it: folders
// that take no new file, full disks, kills, a second writer, hard links, extended
// attributes and ACLs, outputs that are not files, and names a terminal must not
// obey.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/xattr.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace std::string_literals;
using e2e::RunQuorve;
using e2e::Shown;
using test_support::TempFolder;
namespace fs = std::filesystem;

bool ToolPresent(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

ino_t InodeOf(const fs::path& path) {
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_ino;
}

// Lines of words, some of them "cat", about size bytes in all.
std::string SampleText(std::size_t size, unsigned seed = 7) {
  static const char* const kWords[] = {"alpha", "beta", "cat", "delta", "echo", "fox"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    for (int word = 0; word < 12; ++word) {
      text += kWords[random() % 6];
      text += ' ';
    }
    text += "\r\n";
  }
  return text;
}

// A tmpfs of the given size mounted on a folder for as long as the object lives;
// only root may mount one.
class SmallDisk {
 public:
  SmallDisk(const fs::path& where, const std::string& size) : where_(where) {
    fs::create_directory(where_);
    const std::string options = "size=" + size;
    mounted_ =
        e2e::RunningAsRoot() && ::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

// A folder that takes no new file while its files stay writable: by its permission
// bits for an ordinary user, by the immutable attribute for root (whom the bits do
// not stop).
class ClosedFolder {
 public:
  explicit ClosedFolder(const fs::path& folder) : folder_(folder) {
    if (e2e::RunningAsRoot()) {
      closed_ = Shell("chattr +i '" + folder_.string() + "'") == 0;
    } else {
      fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
      closed_ = true;
    }
  }
  ~ClosedFolder() {
    if (!closed_) return;
    if (e2e::RunningAsRoot()) {
      Shell("chattr -i '" + folder_.string() + "'");
    } else {
      fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
    }
  }
  ClosedFolder(const ClosedFolder&) = delete;
  ClosedFolder& operator=(const ClosedFolder&) = delete;
  bool closed() const { return closed_; }

 private:
  fs::path folder_;
  bool closed_ = false;
};

class SafeWritesTest : public ::testing::Test {
 protected:
  e2e::RunResult Run(const std::vector<std::string>& args) { return RunQuorve(args, dir_.path()); }

  void ExpectCreateFailure(const e2e::RunResult& result, const std::string& target) {
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("EFCreateError"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Cannot create file \"" + e2e::ProgramPath(target) + "\"."),
              std::string::npos)
        << result.err;
  }

  TempFolder dir_;
};

// --- No in-place truncation --------------------------------------------------------

// Rewriting the file in place instead would leave it empty or partial after a full
// disk, a kill or a second writer: the run fails before touching it.
TEST_F(SafeWritesTest, AFolderThatTakesNoNewFileFailsTheRunAndTheFileStays) {
  fs::create_directory(dir_ / "closed");
  const std::string target = dir_ / "closed/notes.txt";
  e2e::WriteFile(target, "cat in the notes\r\n");
  dir_.Write("in.txt", "new cat\n");
  std::vector<e2e::RunResult> results;
  {
    ClosedFolder closed(dir_ / "closed");
    if (!closed.closed()) GTEST_SKIP() << "cannot close a folder here (no chattr)";
    results.push_back(Run({"-w", "cat=dog", target}));
    results.push_back(Run({"cat=dog", "in.txt", target}));
    results.push_back(Run({"-l", "cat=dog", target, "-o=" + target}));
  }
  for (const e2e::RunResult& result : results) {
    ExpectCreateFailure(result, target);
    if (!e2e::TestingWindowsBuild()) {
      EXPECT_NE(
          result.err.find(". " + std::string(strerror(e2e::RunningAsRoot() ? EPERM : EACCES))),
          std::string::npos)
          << "the folder's reason: " << result.err;
    }
  }
  EXPECT_EQ(e2e::ReadFile(target), "cat in the notes\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "closed"), fs::directory_iterator()), 1);
}

// Another account that may write the file but not its folder (root would hide the
// fault: it may create files anywhere).
TEST_F(SafeWritesTest, AnotherAccountThatMayNotAddFilesToTheFolderLeavesTheFileAlone) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the emulator's prefix belongs to root";
  if (!e2e::RunningAsRoot() || !ToolPresent("setpriv")) {
    GTEST_SKIP() << "needs root and setpriv to run as a second account";
  }
  const std::string target = dir_ / "shared.txt";
  dir_.Write("shared.txt", "a cat\n");
  fs::permissions(target, fs::perms::all, fs::perm_options::add);  // 0777: anyone may write it
  const auto result =
      e2e::RunCommand({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                       e2e::QuorveBinary(), "-w", "cat=dog", "shared.txt"},
                      dir_.path());
  ExpectCreateFailure(result, target);
  EXPECT_NE(result.err.find(strerror(EACCES)), std::string::npos) << result.err;
  EXPECT_EQ(dir_.Read("shared.txt"), "a cat\n");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"shared.txt"});
}

// --- Full disks ------------------------------------------------------------------

TEST_F(SafeWritesTest, AFullDiskFailsTheRunAndTheFileStaysWhole) {
  SmallDisk disk(dir_ / "disk", "256k");
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const std::string target = dir_ / "disk/big.txt";
  const std::string old = SampleText(100 * 1024);
  e2e::WriteFile(target, old);
  // Every "cat" grows to a long word: the new text does not fit beside the old one.
  const std::string longer(60, 'x');
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-w", "cat=" + longer, target},
        std::vector<std::string>{"-l", "cat=" + longer, target, "-o=" + target}}) {
    const auto result = Run(args);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("Exception"), std::string::npos) << result.err;
    EXPECT_EQ(e2e::ReadFile(target), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "disk"), fs::directory_iterator()), 1);
  }
}

TEST_F(SafeWritesTest, AFullDeviceAsOutputIsAFailure) {
  dir_.Write("in.txt", "cat\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"cat=dog", "in.txt", "/dev/full"},
        std::vector<std::string>{"-l", "cat=dog", "in.txt", "/dev/full"}}) {
    const auto result = Run(args);
    EXPECT_EQ(result.exitCode, 1) << args[0];
    EXPECT_NE(result.err.find("Exception"), std::string::npos) << result.err;
  }
}

// --- Hard links, extended attributes, ACLs ----------------------------------------------

std::vector<std::string> BackupsIn(const fs::path& folder) {
  std::vector<std::string> backups;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find("quorve-backup") != std::string::npos) backups.push_back(name);
  }
  return backups;
}

TEST_F(SafeWritesTest, AFileWithTwoNamesStaysOneFileWithTheNewContent) {
  dir_.Write("a.txt", "the cat\n");
  fs::create_hard_link(dir_ / "a.txt", dir_ / "b.txt");
  const ino_t before = InodeOf(dir_ / "a.txt");
  auto result = Run({"-w", "cat=dog", "a.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("b.txt"), "the dog\r\n");
  // Line-by-line mode ends with the empty line after the last line end.
  result = Run({"-l", "dog=fox", "b.txt", "-o=b.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("a.txt"), "the fox\r\n\r\n");
  EXPECT_EQ(dir_.Read("b.txt"), "the fox\r\n\r\n");
  EXPECT_EQ(InodeOf(dir_ / "b.txt"), before);
  EXPECT_EQ(fs::hard_link_count(dir_ / "a.txt"), 2u);
  EXPECT_TRUE(BackupsIn(dir_.path()).empty());
}

// The rewrite in place fails on a full disk half-way: the original comes back from
// the backup, and the backup goes.
TEST_F(SafeWritesTest, AFailedRewriteInPlaceRestoresTheFileFromItsBackup) {
  SmallDisk disk(dir_ / "disk", "1m");
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const std::string target = dir_ / "disk/linked.txt";
  const std::string old = SampleText(100 * 1024);
  e2e::WriteFile(target, old);
  fs::create_hard_link(target, dir_ / "disk/other.txt");
  // About six and a half times as long: the new file and the backup fit beside the
  // original, the original rewritten to the new length does not.
  const auto result = Run({"-w", "cat=" + std::string(200, 'x'), target});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.err.find("EWriteError"), std::string::npos) << result.err;
  EXPECT_EQ(e2e::ReadFile(target), old);
  EXPECT_EQ(e2e::ReadFile(dir_ / "disk/other.txt"), old);
  EXPECT_TRUE(BackupsIn(dir_ / "disk").empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "disk"), fs::directory_iterator()), 2);
}

TEST_F(SafeWritesTest, ExtendedAttributesAreKept) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "Windows files carry no POSIX attributes";
  dir_.Write("tagged.txt", "cat\n");
  const std::string name = dir_ / "tagged.txt";
  if (::setxattr(name.c_str(), "user.origin", "camera 7", 8, 0) != 0) {
    GTEST_SKIP() << "no user extended attributes here";
  }
  const auto result = Run({"-w", "cat=dog", "tagged.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("tagged.txt"), "dog\r\n");
  char value[16] = {};
  EXPECT_EQ(::getxattr(name.c_str(), "user.origin", value, sizeof value), 8);
  EXPECT_EQ(std::string(value), "camera 7");
}

std::string AclOf(const fs::path& path) {
  const auto listing =
      e2e::RunCommand({"getfacl", "--omit-header", "--numeric", path.string()}, path.parent_path());
  return listing.out;
}

// A file shared with one more account through its ACL keeps exactly that ACL: its
// group does not get to write it.
TEST_F(SafeWritesTest, AnAclIsKeptAndAccessIsNeverWidened) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "Windows files carry no POSIX ACLs";
  if (!ToolPresent("setfacl") || !ToolPresent("getfacl")) GTEST_SKIP() << "no setfacl here";
  dir_.Write("shared.txt", "cat\n");
  const fs::path shared = dir_.path() / "shared.txt";
  fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  if (Shell("setfacl -m u:65534:rw '" + shared.string() + "'") != 0) {
    GTEST_SKIP() << "the file system takes no ACLs";
  }
  const std::string before = AclOf(shared);
  ASSERT_NE(before.find("user:65534:rw-"), std::string::npos) << before;
  const auto result = Run({"-w", "cat=dog", "shared.txt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir_.Read("shared.txt"), "dog\r\n");
  EXPECT_EQ(AclOf(shared), before);
  EXPECT_NE(AclOf(shared).find("group::r--"), std::string::npos);

  // A folder's default ACL would give a new file entries the old one did not have.
  fs::create_directory(dir_ / "open");
  dir_.Write("open/plain.txt", "cat\n");
  fs::permissions(dir_ / "open/plain.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(Shell("setfacl -d -m u:65534:rwx '" + (dir_ / "open") + "'"), 0);
  const std::string plainBefore = AclOf(dir_.path() / "open/plain.txt");
  EXPECT_EQ(Run({"-w", "cat=dog", "open/plain.txt"}).exitCode, 0);
  EXPECT_EQ(AclOf(dir_.path() / "open/plain.txt"), plainBefore);
  EXPECT_EQ(fs::status(dir_ / "open/plain.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// --- Kills -----------------------------------------------------------------------------

struct KillCase {
  int signal;
  std::chrono::milliseconds after;
};

// Starts the command, sends the signal after the delay (if it still runs), waits.
int RunAndKill(const std::vector<std::string>& command, const fs::path& folder,
               const KillCase& kill) {
  const int nothing = ::open("/dev/null", O_RDWR);
  const pid_t pid = e2e::StartCommand(command, folder, nothing, nothing, nothing);
  ::close(nothing);
  std::this_thread::sleep_for(kill.after);
  ::kill(pid, kill.signal);
  return e2e::WaitForExit(pid);
}

std::vector<std::string> EntryNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The folder's entries once a killed run's handles are closed. The emulator's
// server closes the handles of a dead Windows process (deleting a new file marked to
// go with them) a moment after the process is gone, so the Windows build is given
// up to two seconds for that.
std::vector<std::string> EntriesOnceSettled(const fs::path& folder) {
  std::vector<std::string> names = EntryNames(folder);
  if (!e2e::TestingWindowsBuild()) return names;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (names.size() > 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    names = EntryNames(folder);
  }
  return names;
}

// Each kill leaves the target old or new, whole, and nothing beside it.
void KillLoop(const fs::path& folder, const std::vector<std::string>& commandPrefix,
              const std::vector<int>& signals) {
  const std::string old = SampleText(4 << 20);
  e2e::WriteFile(folder / "in.txt", old);
  const std::vector<std::string> args = {"-w", "cat=tiger", "in.txt"};
  // The new content, from a run that is let alone.
  std::vector<std::string> command = commandPrefix;
  command.insert(command.end(), args.begin(), args.end());
  ASSERT_EQ(e2e::RunCommand(command, folder).exitCode, 0);
  const std::string fresh = e2e::ReadFile(folder / "in.txt");
  ASSERT_NE(fresh, old);

  // One run's length, to spread the kills over it.
  e2e::WriteFile(folder / "in.txt", old);
  const auto start = std::chrono::steady_clock::now();
  e2e::RunCommand(command, folder);
  const auto length = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);

  std::mt19937 random(11);
  for (int round = 0; round < 6; ++round) {
    e2e::WriteFile(folder / "in.txt", old);
    const KillCase kill{signals[round % signals.size()],
                        std::chrono::milliseconds(random() % (length.count() + 1))};
    RunAndKill(command, folder, kill);
    const std::vector<std::string> entries = EntriesOnceSettled(folder);
    EXPECT_EQ(entries, std::vector<std::string>{"in.txt"})
        << "signal " << kill.signal << " after " << kill.after.count() << " ms";
    const std::string now = e2e::ReadFile(folder / "in.txt");
    EXPECT_TRUE(now == old || now == fresh)
        << "signal " << kill.signal << " after " << kill.after.count() << " ms left " << now.size()
        << " bytes";
  }
}

TEST_F(SafeWritesTest, KilledRunsLeaveTheFileWholeAndNothingBesideIt) {
  fs::create_directory(dir_ / "work");
  std::vector<int> signals = {SIGKILL, SIGTERM, SIGINT, SIGHUP};
  // The emulator hands only SIGINT to the program (as Ctrl-C); its new file goes with
  // the process's handles under any signal.
  KillLoop(dir_ / "work", e2e::QuorveCommand({}), signals);
}

// Where the new file must have a name from the start (no descriptor names under
// /proc to name an unnamed one by), the interruption handlers remove it.
TEST_F(SafeWritesTest, KilledRunsRemoveANamedNewFile) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the Windows build has no unnamed files";
  if (!e2e::RunningAsRoot() || Shell("unshare -m true") != 0) {
    GTEST_SKIP() << "needs root and unshare to hide a run's descriptor names";
  }
  fs::create_directory(dir_ / "work");
  // The shell's process becomes the run's: its descriptor folder is hidden under an
  // empty tmpfs.
  const std::vector<std::string> prefix = {
      "unshare",          "-m", "sh", "-c", "mount -t tmpfs none /proc/$$/fd && exec \"$0\" \"$@\"",
      e2e::QuorveBinary()};
  KillLoop(dir_ / "work", prefix, {SIGTERM, SIGINT, SIGHUP});
}

// --- Two writers at once --------------------------------------------------------------

// Each writer replaces a word of its own; every change must arrive. Line-by-line
// runs add the empty line after the last line end (once: the next run keeps it).
void WritersAtOnce(const fs::path& folder, const std::vector<std::string>& modeArgs,
                   const std::string& lineEndsAdded) {
  const std::vector<std::string> words = {"red", "green", "blue"};
  std::string old;
  std::string expected;
  while (old.size() < (2 << 20)) {
    old += "red green blue and more words on the line\r\n";
    expected += "red-done green-done blue-done and more words on the line\r\n";
  }
  expected += lineEndsAdded;
  for (int round = 0; round < 3; ++round) {
    e2e::WriteFile(folder / "in.txt", old);
    std::vector<std::future<int>> runs;
    for (const std::string& word : words) {
      std::vector<std::string> args = modeArgs;
      args.push_back(word + "=" + word + "-done");
      runs.push_back(std::async(std::launch::async,
                                [args, folder] { return RunQuorve(args, folder).exitCode; }));
    }
    for (auto& run : runs) EXPECT_EQ(run.get(), 0);
    const std::string now = e2e::ReadFile(folder / "in.txt");
    EXPECT_TRUE(now == expected) << "round " << round << ": a change was lost or mixed, "
                                 << now.substr(0, 60);
  }
}

TEST_F(SafeWritesTest, TwoWritersAtOnceBothChangesArrive) {
  WritersAtOnce(dir_.path(), {"-w", "in.txt"}, "");
}

TEST_F(SafeWritesTest, TwoLineByLineWritersToTheInputBothChangesArrive) {
  WritersAtOnce(dir_.path(), {"-l", "in.txt", "-o=in.txt"}, "\r\n");
}

// A run that has to wait says so on the terminal, then does its work.
TEST_F(SafeWritesTest, AWaitingRunSaysWhyItWaits) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the Windows build locks through a mutex";
  dir_.Write("in.txt", "cat\n");
  const int held = ::open((dir_ / "in.txt").c_str(), O_RDONLY | O_CLOEXEC);  // not the run's
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  auto run = std::async(std::launch::async, [&] {
    return e2e::RunQuorveOnTerminal({"-q", "-w", "cat=dog", "in.txt"}, dir_.path());
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(dir_.Read("in.txt"), "cat\n") << "the run waits while the lock is held";
  ::close(held);
  const auto shown = run.get();
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_NE(e2e::ScreenText(shown.terminal)
                .find("Waiting while another run writes " + Shown(dir_, "in.txt")),
            std::string::npos)
      << shown.terminal;
  EXPECT_EQ(dir_.Read("in.txt"), "dog\r\n");
}

// --- Outputs that are not files --------------------------------------------------------

TEST_F(SafeWritesTest, AFifoIsWrittenDirectly) {
  dir_.Write("in.txt", "cat\n");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {{{"cat=dog", "in.txt", "fifo"}, "dog\r\n"},
               {{"-l", "cat=dog", "in.txt", "fifo"}, "dog\r\n\r\n"}};
  for (const auto& c : cases) {
    auto reader = std::async(std::launch::async, [&] { return dir_.Read("fifo"); });
    const auto result = Run(c.args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(reader.get(), c.out) << c.args[0];
  }
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"fifo", "in.txt"}));
}

// What a run writes to a descriptor it was given, named as /dev/fd/3.
std::string ThroughDescriptorThree(const TempFolder& dir, const std::vector<std::string>& args,
                                   int& exitCode) {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  const int nothing = ::open("/dev/null", O_RDWR);
  const pid_t pid =
      e2e::StartCommand(e2e::QuorveCommand(args), dir.path(), nothing, nothing, nothing, ends[1]);
  ::close(nothing);
  ::close(ends[1]);
  std::string piped;
  char buffer[4096];
  for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) piped.append(buffer, got);
  ::close(ends[0]);
  exitCode = e2e::WaitForExit(pid);
  return piped;
}

// As in process substitution, >(...): the name of one of the run's own descriptors.
TEST_F(SafeWritesTest, DescriptorNamesAreWrittenThroughTheDescriptor) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "descriptor names are POSIX names";
  dir_.Write("in.txt", "cat\n");
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {{{"cat=dog", "in.txt", "/dev/fd/3"}, "dog\r\n"},
               {{"cat=dog", "in.txt", "-o=/proc/self/fd/3"}, "dog\r\n"},
               {{"-l", "cat=dog", "in.txt", "/dev/fd/3"}, "dog\r\n\r\n"}};
  for (const auto& c : cases) {
    int exitCode = -1;
    EXPECT_EQ(ThroughDescriptorThree(dir_, c.args, exitCode), c.out) << c.args.back();
    EXPECT_EQ(exitCode, 0);
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"in.txt"});
}

// Standard output appended to a log: /dev/stdout adds to it and truncates nothing.
TEST_F(SafeWritesTest, StandardOutputByNameKeepsWhatItAlreadyHolds) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "/dev/stdout is a POSIX name";
  dir_.Write("in.txt", "cat\n");
  dir_.Write("log.txt", "earlier lines\n");
  const int log = ::open((dir_ / "log.txt").c_str(), O_WRONLY | O_APPEND);
  const int nothing = ::open("/dev/null", O_RDWR);
  const ino_t before = InodeOf(dir_ / "log.txt");
  const int exitCode =
      e2e::WaitForExit(e2e::StartCommand(e2e::QuorveCommand({"cat=dog", "in.txt", "/dev/stdout"}),
                                         dir_.path(), nothing, log, nothing));
  ::close(log);
  ::close(nothing);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(dir_.Read("log.txt"), "earlier lines\ndog\r\n");
  EXPECT_EQ(InodeOf(dir_ / "log.txt"), before);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"in.txt", "log.txt"}));
}

// --- Names on a terminal -------------------------------------------------------------

// ESC [ 31 m, OSC that retitles the window, and a raw 8-bit CSI.
const std::string kHostileName =
    "in\x1b[31m\x1b]0;owned\x07\x9b"
    "2J.txt";
const std::string kHostileShown = "in?[31m?]0;owned??2J.txt";

TEST_F(SafeWritesTest, ATerminalIsShownNoControlsFromFileNames) {
  if (e2e::TestingWindowsBuild()) {
    GTEST_SKIP() << "a Windows command line cannot carry control bytes: they separate arguments";
  }
  // The error line on standard output.
  e2e::TerminalOptions bothOnTerminal;
  bothOnTerminal.outputOnTerminal = true;
  auto shown = e2e::RunOnTerminal(e2e::QuorveCommand({"-q", "cat=dog", kHostileName}), dir_.path(),
                                  e2e::EnvironmentWith({}), bothOnTerminal);
  EXPECT_EQ(shown.exitCode, 1);
  EXPECT_NE(shown.terminal.find("Error: File not found: " + Shown(dir_, kHostileShown)),
            std::string::npos)
      << shown.terminal;
  EXPECT_EQ(shown.terminal.find("\x1b]0;"), std::string::npos);
  EXPECT_EQ(shown.terminal.find('\x9b'), std::string::npos);

  // The failure report on standard error.
  dir_.Write("in.txt", "cat\n");
  shown = e2e::RunQuorveOnTerminal({"-q", "cat=dog", "in.txt", "no/" + kHostileName}, dir_.path());
  EXPECT_EQ(shown.exitCode, 1);
  EXPECT_NE(shown.terminal.find("Cannot create file \"" + Shown(dir_, "no/" + kHostileShown)),
            std::string::npos)
      << shown.terminal;
  EXPECT_EQ(shown.terminal.find("\x1b]0;"), std::string::npos);

  // The byte-0 warning on standard error.
  dir_.Write(kHostileName, "cat\0dog\n"s);
  shown = e2e::RunQuorveOnTerminal({"-q", "cat=dog", kHostileName}, dir_.path());
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_NE(shown.terminal.find("Warning: byte 0 at offset 3 of \"" + Shown(dir_, kHostileShown)),
            std::string::npos)
      << shown.terminal;
  EXPECT_EQ(shown.terminal.find('\x9b'), std::string::npos);

  // The refusal to write such a file back.
  shown = e2e::RunQuorveOnTerminal({"-q", "-w", "cat=dog", kHostileName}, dir_.path());
  EXPECT_EQ(shown.exitCode, 1);
  EXPECT_NE(shown.terminal.find("Error: byte 0 at offset 3 of \"" + Shown(dir_, kHostileShown)),
            std::string::npos)
      << shown.terminal;
  EXPECT_EQ(shown.terminal.find("\x1b]0;"), std::string::npos);
}

// Files and pipes get the bytes as they are: scripts read them.
TEST_F(SafeWritesTest, FilesAndPipesGetFileNamesByteForByte) {
  if (e2e::TestingWindowsBuild()) {
    GTEST_SKIP() << "a Windows command line cannot carry control bytes: they separate arguments";
  }
  auto result = Run({"-q", "cat=dog", kHostileName});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.out.find("Error: File not found: " + Shown(dir_, kHostileName) + "\r\n"),
            std::string::npos);
  dir_.Write(kHostileName, "cat\0dog\n"s);
  result = Run({"-q", "cat=dog", kHostileName});
  EXPECT_EQ(result.err, "Warning: byte 0 at offset 3 of \"" + Shown(dir_, kHostileName) +
                            "\": the rest of the text is dropped; -0 keeps it\r\n");
  result = Run({"-q", "cat=dog", kHostileName, "no/" + kHostileName});
  EXPECT_NE(result.err.find("Cannot create file \"" + Shown(dir_, "no/" + kHostileName) + "\"."),
            std::string::npos)
      << result.err;
}

}  // namespace
