#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/error_codes.h"
#include "support/temp_folder.h"

namespace {

using test_support::EntryCount;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

std::string CurrentFolder() {
  return std::filesystem::current_path().string();
}

// --- Error codes --------------------------------------------------------------

TEST(ErrorCodes, ErrnoValuesMapOntoTheFailureTable) {
  struct Case {
    int errnoValue;
    platform::ErrorCode code;
  } cases[] = {
      {ENOENT, 2}, {ENOTDIR, 3},   {ENAMETOOLONG, 3}, {EMFILE, 4},   {ENFILE, 4},
      {EACCES, 5}, {EPERM, 5},     {EROFS, 5},        {ENOSPC, 101}, {EISDIR, EISDIR},
      {EIO, EIO},  {ELOOP, ELOOP}, {EBADF, EBADF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::posix::CodeOfErrno(c.errnoValue), c.code) << "errno " << c.errnoValue;
  }
}

TEST(ErrorCodes, TextHasNoTrailingFullStopOrBlank) {
  for (platform::ErrorCode code : {2, 3, 4, 5, 101, 21, 9999}) {
    std::string text = platform::SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '.') << code;
    EXPECT_GT(static_cast<unsigned char>(text.back()), 0x20) << code;
    EXPECT_LE(text.size(), 256u);
  }
}

TEST(ErrorCodes, TrimmingRemovesEveryTrailingStopAndBlank) {
  using platform::posix::WithoutTrailingStopsAndBlanks;
  EXPECT_EQ(WithoutTrailingStopsAndBlanks("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks("a. . \t.."), "a");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(std::string("x\0", 2)), "x");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks("v1.2 ok"), "v1.2 ok");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(". \n"), "");
  EXPECT_EQ(WithoutTrailingStopsAndBlanks(""), "");
}

TEST(ErrorCodes, TextsComeFromTheErrnoBehindTheCode) {
  EXPECT_EQ(platform::SystemErrorText(2), std::string(strerror(ENOENT)));
  EXPECT_EQ(platform::SystemErrorText(101), std::string(strerror(ENOSPC)));
  EXPECT_EQ(platform::SystemErrorText(EISDIR), std::string(strerror(EISDIR)));
}

TEST(ErrorCodes, CodeThreeNamesTheRealReasonOfTheLastFailure) {
  platform::FileHandle handle;
  std::string tooLong(5000, 'n');
  ASSERT_EQ(platform::OpenForReading(tooLong, handle), 3);
  EXPECT_EQ(platform::SystemErrorText(3), std::string(strerror(ENAMETOOLONG)));

  ASSERT_EQ(platform::OpenForReading("/etc/passwd/inside", handle), 3);
  EXPECT_EQ(platform::SystemErrorText(3), std::string(strerror(ENOTDIR)));
  // A code that the last failure does not stand behind falls back to the usual errno.
  EXPECT_EQ(platform::SystemErrorText(4), std::string(strerror(EMFILE)));
}

// --- Opening, reading, writing -----------------------------------------------

TEST(FileIo, WrittenBytesReadBackExactlyIncludingNulAndLineBreaks) {
  TempFolder folder;
  const std::string bytes("a\0b\r\n\rc\n\x1a\xff", 10);
  platform::FileHandle out;
  ASSERT_EQ(platform::CreateForWriting(folder / "f", out), 0);
  std::size_t written = 0;
  ASSERT_EQ(platform::WriteBytes(out, bytes.data(), bytes.size(), written), 0);
  EXPECT_EQ(written, bytes.size());
  ASSERT_EQ(platform::CloseFileHandle(out), 0);

  platform::FileHandle in;
  ASSERT_EQ(platform::OpenForReading(folder / "f", in), 0);
  std::uint64_t size = 0;
  ASSERT_EQ(platform::FileSizeOf(in, size), 0);
  EXPECT_EQ(size, bytes.size());
  std::string back(64, '\0');
  std::size_t count = 0;
  ASSERT_EQ(platform::ReadBytes(in, back.data(), back.size(), count), 0);
  back.resize(count);
  EXPECT_EQ(back, bytes);
  ASSERT_EQ(platform::ReadBytes(in, back.data(), 1, count), 0);
  EXPECT_EQ(count, 0u) << "the end of the data reads as zero bytes";
  EXPECT_EQ(platform::TypeOfHandle(in), platform::HandleType::Disk);
  platform::CloseFileHandle(in);
}

TEST(FileIo, CreateTruncatesAndUpdateKeeps) {
  TempFolder folder;
  WriteFile(folder / "f", "0123456789");
  platform::FileHandle handle;
  ASSERT_EQ(platform::OpenForUpdate(folder / "f", handle), 0);
  std::uint64_t position = 0;
  ASSERT_EQ(platform::SeekTo(handle, -4, platform::SeekOrigin::End, position), 0);
  EXPECT_EQ(position, 6u);
  ASSERT_EQ(platform::TruncateAtPosition(handle), 0);
  platform::CloseFileHandle(handle);
  EXPECT_EQ(ReadFile(folder / "f"), "012345");

  ASSERT_EQ(platform::CreateForWriting(folder / "f", handle), 0);
  platform::CloseFileHandle(handle);
  EXPECT_EQ(ReadFile(folder / "f"), "");
}

TEST(FileIo, OpenFailuresGiveTheirCodes) {
  TempFolder folder;
  platform::FileHandle handle = 42;
  EXPECT_EQ(platform::OpenForReading(folder / "missing", handle), 2);
  EXPECT_EQ(handle, platform::kInvalidHandle);
  EXPECT_EQ(platform::OpenForUpdate(folder / "missing", handle), 2);
  EXPECT_EQ(platform::CreateForWriting(folder / "no/such/folder", handle), 2);
  EXPECT_EQ(platform::OpenForReading("", handle), 2);
  EXPECT_EQ(platform::OpenForReading(std::string("a\0b", 3), handle), 2)
      << "a NUL inside a name must not name a shorter file";
  EXPECT_EQ(platform::OpenForReading(folder.Path(), handle), EISDIR);
}

TEST(FileIo, ClosedPipeReadsAsTheEndAndWritesFail) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  EXPECT_EQ(platform::TypeOfHandle(ends[0]), platform::HandleType::Pipe);
  ::close(ends[1]);
  char byte;
  std::size_t count = 7;
  EXPECT_EQ(platform::ReadBytes(ends[0], &byte, 1, count), 0);
  EXPECT_EQ(count, 0u);
  ::close(ends[0]);

  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  auto previous = ::signal(SIGPIPE, SIG_IGN);
  std::size_t written = 0;
  EXPECT_EQ(platform::WriteBytes(ends[1], "x", 1, written), EPIPE);
  EXPECT_EQ(written, 0u);
  ::signal(SIGPIPE, previous);
  ::close(ends[1]);
}

TEST(FileIo, HandleTypes) {
  platform::FileHandle handle;
  ASSERT_EQ(platform::OpenForReading("/dev/null", handle), 0);
  EXPECT_EQ(platform::TypeOfHandle(handle), platform::HandleType::Character);
  platform::CloseFileHandle(handle);
  EXPECT_EQ(platform::TypeOfHandle(platform::kInvalidHandle), platform::HandleType::Unknown);
  EXPECT_EQ(platform::TypeOfHandle(987654), platform::HandleType::Unknown);
}

// --- Full paths ------------------------------------------------------------------

TEST(FullPath, ResolvesDotsByTextAlone) {
  const std::string cwd = CurrentFolder();
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"/a/b/../c/./d", "/a/c/d"},
      {"/a//b///c", "/a/b/c"},
      {"/../..", "/"},
      {"/", "/"},
      {"/a/b/", "/a/b/"},
      {"/a/b/.", "/a/b"},
      {"/a/b/..", "/a"},
      {"x.txt", cwd + "/x.txt"},
      {"./sub/../x.txt", cwd + "/x.txt"},
      {"no/such/../file", cwd + "/no/file"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::FullPathOf(c.name), c.expected) << c.name;
}

TEST(FullPath, DoesNotFollowLinks) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "real");
  std::filesystem::create_directory_symlink(folder / "real/", folder / "link");
  EXPECT_EQ(platform::FullPathOf(folder / "link/../x"), folder / "x");
}

TEST(FullPath, NamesThatCannotBeExpandedGiveNothing) {
  EXPECT_EQ(platform::FullPathOf(""), "");
  EXPECT_EQ(platform::FullPathOf(std::string("a\0b", 3)), "");
}

// --- Existence -------------------------------------------------------------------

class RegularFileExistsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(folder / "notes.txt", "n");
    std::filesystem::create_directory(folder / "dir");
    std::filesystem::create_directory(folder / "dir.txt.d");
    std::filesystem::create_symlink(folder / "notes.txt", folder / "to-file");
    std::filesystem::create_symlink(folder / "dir", folder / "to-dir");
    std::filesystem::create_symlink(folder / "gone", folder / "dangling");
  }
  TempFolder folder;
};

TEST_F(RegularFileExistsTest, PlainNames) {
  EXPECT_TRUE(platform::RegularFileExists(folder / "notes.txt"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "dir"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "missing"));
  EXPECT_FALSE(platform::RegularFileExists(""));
  EXPECT_FALSE(platform::RegularFileExists(folder / "notes.txt/"));
  EXPECT_FALSE(platform::RegularFileExists(std::string(folder / "notes.txt") + '\0' + "x"));
  EXPECT_FALSE(platform::RegularFileExists("/dev/null"));
}

TEST_F(RegularFileExistsTest, LinksAreFollowed) {
  EXPECT_TRUE(platform::RegularFileExists(folder / "to-file"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "to-dir"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "dangling"));
}

TEST_F(RegularFileExistsTest, WildcardsTakeTheFirstMatchInNameOrder) {
  EXPECT_TRUE(platform::RegularFileExists(folder / "*.txt"));
  EXPECT_TRUE(platform::RegularFileExists(folder / "note?.txt"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "note?.txtx"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "*.none"));
  // "dir" sorts before "dir.txt.d", "dangling" and the rest: a folder decides.
  EXPECT_FALSE(platform::RegularFileExists(folder / "d*"));
  // "notes.txt" sorts before "to-dir" and "to-file".
  EXPECT_TRUE(platform::RegularFileExists(folder / "*o*"));
  // "to-dir" before "to-file".
  EXPECT_FALSE(platform::RegularFileExists(folder / "to-*"));
  EXPECT_FALSE(platform::RegularFileExists(folder / "*/notes.txt"))
      << "wildcards in the folder part find nothing";
}

TEST_F(RegularFileExistsTest, WildcardsWithoutFolderSearchTheCurrentOne) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  EXPECT_TRUE(platform::RegularFileExists("*.txt"));
  EXPECT_FALSE(platform::RegularFileExists("*.md"));
  std::filesystem::current_path(previous);
}

// --- Replacement files ---------------------------------------------------------

void WriteAndCommit(const std::string& target, const std::string& bytes,
                    platform::ErrorCode expected = 0) {
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement(target, file), 0);
  std::size_t written = 0;
  ASSERT_EQ(platform::WriteBytes(file.handle, bytes.data(), bytes.size(), written), 0);
  EXPECT_EQ(platform::CommitReplacement(file), expected);
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(ReplacementFile, CommitReplacesContentAndKeepsModeBits) {
  TempFolder folder;
  const std::string target = folder / "out.txt";
  WriteFile(target, "old content that is longer");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  WriteAndCommit(target, std::string("new\0\r\n", 6));
  EXPECT_EQ(ReadFile(target), std::string("new\0\r\n", 6));
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(EntryCount(folder.Path()), 1u) << "no temporary file is left behind";
}

TEST(ReplacementFile, OwnerAndSpecialModeBitsAreKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  TempFolder folder;
  const std::string target = folder / "owned";
  WriteFile(target, "old");
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(target.c_str(), 02755), 0);
  WriteAndCommit(target, "new");
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(info.st_mode & 07777, 02755u);
  EXPECT_EQ(ReadFile(target), "new");
}

TEST(ReplacementFile, TheNewFileIsPrivateAndNamelessUntilCommit) {
  TempFolder folder;
  const std::string target = folder / "out.txt";
  WriteFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement(target, file), 0);
  EXPECT_EQ(file.targetPath, target);
  EXPECT_FALSE(file.direct);
  struct stat info;
  ASSERT_EQ(::fstat(static_cast<int>(file.handle), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << "nobody else may read it while it is written";
  // A temporary folder on a file system with unnamed files shows nothing new.
  EXPECT_EQ(EntryCount(folder.Path()), file.tempPath.empty() ? 1u : 2u);
  EXPECT_EQ(ReadFile(target), "old") << "the target is untouched before the commit";
  std::size_t written = 0;
  ASSERT_EQ(platform::WriteBytes(file.handle, "new", 3, written), 0);
  ASSERT_EQ(platform::CommitReplacement(file), 0);
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(ModeOf(target), 0644u);
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
  EXPECT_EQ(file.handle, platform::kInvalidHandle);
}

TEST(ReplacementFile, NewTargetGetsTheUsualPermissions) {
  TempFolder folder;
  const mode_t previous = ::umask(022);
  WriteAndCommit(folder / "fresh", "x");
  ::umask(previous);
  EXPECT_EQ(ReadFile(folder / "fresh"), "x");
  EXPECT_EQ(ModeOf(folder / "fresh"), 0644u);
}

TEST(ReplacementFile, AbandonLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder folder;
  const std::string target = folder / "keep.txt";
  WriteFile(target, "precious");
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement(target, file), 0);
  std::size_t written = 0;
  platform::WriteBytes(file.handle, "half", 4, written);
  platform::AbandonReplacement(file);
  EXPECT_EQ(ReadFile(target), "precious");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
  EXPECT_EQ(file.handle, platform::kInvalidHandle);
}

TEST(ReplacementFile, AbandonOfANewTargetCreatesNothing) {
  TempFolder folder;
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement(folder / "never", file), 0);
  platform::AbandonReplacement(file);
  EXPECT_EQ(EntryCount(folder.Path()), 0u);
}

TEST(ReplacementFile, LinkChainStaysAndTheFileItNamesIsReplaced) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "data");
  WriteFile(folder / "data/real.txt", "old");
  ::chmod((folder / "data/real.txt").c_str(), 0600);
  std::filesystem::create_symlink("data/real.txt", folder / "first");  // relative
  std::filesystem::create_symlink(folder / "first", folder / "second");
  WriteAndCommit(folder / "second", "new");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "second"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "first"));
  EXPECT_EQ(ReadFile(folder / "data/real.txt"), "new");
  EXPECT_EQ(ModeOf(folder / "data/real.txt"), 0600u);
  EXPECT_EQ(EntryCount(folder / "data"), 1u);
}

TEST(ReplacementFile, DanglingLinkCreatesTheFileItNames) {
  TempFolder folder;
  std::filesystem::create_symlink("made.txt", folder / "link");
  WriteAndCommit(folder / "link", "made");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
  EXPECT_EQ(ReadFile(folder / "made.txt"), "made");
}

TEST(ReplacementFile, LinkLoopIsRefused) {
  TempFolder folder;
  std::filesystem::create_symlink("b", folder / "a");
  std::filesystem::create_symlink("a", folder / "b");
  platform::ReplacementFile file;
  EXPECT_EQ(platform::BeginReplacement(folder / "a", file), ELOOP);
  EXPECT_EQ(file.handle, platform::kInvalidHandle);
}

TEST(ReplacementFile, DevicesAreWrittenDirectly) {
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement("/dev/null", file), 0);
  EXPECT_TRUE(file.tempPath.empty());
  std::size_t written = 0;
  EXPECT_EQ(platform::WriteBytes(file.handle, "abc", 3, written), 0);
  EXPECT_EQ(platform::CommitReplacement(file), 0);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(ReplacementFile, MissingFolderAndFolderTargetFail) {
  TempFolder folder;
  platform::ReplacementFile file;
  EXPECT_EQ(platform::BeginReplacement(folder / "none/out.txt", file), 2);
  EXPECT_EQ(platform::BeginReplacement(folder.Path() + std::string("/a\0b", 4), file), 2);
  EXPECT_EQ(platform::BeginReplacement(folder.Path(), file), EISDIR);
  EXPECT_EQ(EntryCount(folder.Path()), 0u);
}

// Runs the step in a child process without root's right to write anything (as the
// nobody account when the tests run as root) and returns its exit status.
int ExitStatusWithoutPrivileges(const std::function<int()>& step) {
  pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(200);
    ::_exit(step());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReplacementFile, ReadOnlyTargetIsRefusedAndKept) {
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0777);  // the unprivileged child may create files here
  const std::string target = folder / "ro.txt";
  WriteFile(target, "keep");
  ::chmod(target.c_str(), 0444);
  int status = ExitStatusWithoutPrivileges([&] {
    platform::ReplacementFile file;
    platform::ErrorCode code = platform::BeginReplacement(target, file);
    return file.handle == platform::kInvalidHandle ? code : 100;
  });
  ASSERT_NE(status, 200) << "could not drop privileges";
  EXPECT_EQ(status, 5);
  EXPECT_EQ(ReadFile(target), "keep");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

// Rewriting the file in place instead would leave it empty, partial or mixed after
// a full disk, a kill or a second writer.
TEST(ReplacementFile, AFolderThatTakesNoNewFilesFailsTheBeginAndTheFileIsKept) {
  TempFolder folder;
  const std::string target = folder / "open.txt";
  WriteFile(target, "old content");
  ::chmod(target.c_str(), 0666);
  ::chmod(folder.Path().c_str(), 0555);
  int status = ExitStatusWithoutPrivileges([&] {
    platform::ReplacementFile file;
    const platform::ErrorCode code = platform::BeginReplacement(target, file);
    return file.handle == platform::kInvalidHandle ? code : 100;
  });
  ::chmod(folder.Path().c_str(), 0700);
  ASSERT_NE(status, 200) << "could not drop privileges";
  EXPECT_EQ(status, 5);
  EXPECT_EQ(ReadFile(target), "old content");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(ReplacementFile, CommitWithoutAnOpenFileFails) {
  platform::ReplacementFile file;
  EXPECT_NE(platform::CommitReplacement(file), 0);
}

// --- What the replaced file keeps ------------------------------------------------

ino_t InodeOf(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_ino;
}

std::vector<std::string> BackupsIn(const TempFolder& folder) {
  std::vector<std::string> backups;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    const std::string name = entry.path().filename().string();
    if (name.find(".quorve-backup-") != std::string::npos) backups.push_back(name);
  }
  return backups;
}

TEST(ReplacementFile, AFileWithSeveralLinksIsRewrittenInPlaceAndStaysOneFile) {
  TempFolder folder;
  const std::string target = folder / "shared.txt";
  WriteFile(target, "old content, longer than the new one");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::link(target.c_str(), (folder / "other-name.txt").c_str()), 0);
  const ino_t before = InodeOf(target);
  WriteAndCommit(target, "new\r\n");
  EXPECT_EQ(InodeOf(target), before);
  EXPECT_EQ(ReadFile(folder / "other-name.txt"), "new\r\n");
  EXPECT_EQ(ReadFile(target), "new\r\n");
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_TRUE(BackupsIn(folder).empty());
  EXPECT_EQ(EntryCount(folder.Path()), 2u);
}

TEST(ReplacementFile, ExtendedAttributesComeAlongWithTheRename) {
  TempFolder folder;
  const std::string target = folder / "tagged.txt";
  WriteFile(target, "old");
  const std::string value("blue\0green", 10);
  if (::setxattr(target.c_str(), "user.quorve.colour", value.data(), value.size(), 0) != 0) {
    GTEST_SKIP() << "no user extended attributes here: " << strerror(errno);
  }
  const ino_t before = InodeOf(target);
  WriteAndCommit(target, "new");
  EXPECT_NE(InodeOf(target), before) << "replaced by a rename";
  char read[32] = {};
  const ssize_t size = ::getxattr(target.c_str(), "user.quorve.colour", read, sizeof read);
  ASSERT_EQ(size, static_cast<ssize_t>(value.size()));
  EXPECT_EQ(std::string(read, static_cast<std::size_t>(size)), value);
  EXPECT_EQ(ReadFile(target), "new");
}

// An account that may write a file of someone else's cannot give a new file that
// owner: the file is rewritten in place and stays the owner's.
TEST(ReplacementFile, AnOwnerThatCannotBeKeptMeansARewriteInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the file to another account";
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0777);
  const std::string target = folder / "theirs.txt";
  WriteFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
  const ino_t before = InodeOf(target);
  int status = ExitStatusWithoutPrivileges([&] {
    platform::ReplacementFile file;
    if (platform::BeginReplacement(target, file) != 0) return 1;
    std::size_t written = 0;
    platform::WriteBytes(file.handle, "new", 3, written);
    return platform::CommitReplacement(file) == 0 ? 0 : 2;
  });
  ASSERT_NE(status, 200) << "could not drop privileges";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(InodeOf(target), before);
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 0666u);
  EXPECT_TRUE(BackupsIn(folder).empty());
}

// --- Names of the process's own descriptors ------------------------------------------

TEST(ReplacementFile, DescriptorNamesAreWrittenThroughTheDescriptor) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  for (const std::string& name :
       {"/dev/fd/" + std::to_string(ends[1]), "/proc/self/fd/" + std::to_string(ends[1])}) {
    platform::ReplacementFile file;
    ASSERT_EQ(platform::BeginReplacement(name, file), 0) << name;
    EXPECT_TRUE(file.direct);
    std::size_t written = 0;
    ASSERT_EQ(platform::WriteBytes(file.handle, "piped", 5, written), 0);
    ASSERT_EQ(platform::CommitReplacement(file), 0);
    char read[8] = {};
    EXPECT_EQ(::read(ends[0], read, sizeof read), 5);
    EXPECT_EQ(std::string(read, 5), "piped") << name;
  }
  ::close(ends[0]);
  ::close(ends[1]);

  // A file opened for appending is appended to: nothing is truncated or replaced.
  TempFolder folder;
  const std::string log = folder / "log.txt";
  WriteFile(log, "earlier\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  const ino_t before = InodeOf(log);
  WriteAndCommit("/proc/self/fd/" + std::to_string(fd), "later\n");
  ::close(fd);
  EXPECT_EQ(ReadFile(log), "earlier\nlater\n");
  EXPECT_EQ(InodeOf(log), before);

  platform::ReplacementFile file;
  EXPECT_EQ(platform::BeginReplacement("/dev/fd/987654", file), EBADF);
}

TEST(ReplacementFile, AFifoIsWrittenDirectly) {
  TempFolder folder;
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  WriteAndCommit(fifo, "through");
  char read[16] = {};
  EXPECT_EQ(::read(reader, read, sizeof read), 7);
  EXPECT_EQ(std::string(read, 7), "through");
  ::close(reader);
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

}  // namespace
