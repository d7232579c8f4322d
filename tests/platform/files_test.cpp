#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

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

TEST(ReplacementFile, TheTemporaryFileSitsBesideTheTargetUntilCommit) {
  TempFolder folder;
  const std::string target = folder / "out.txt";
  WriteFile(target, "old");
  platform::ReplacementFile file;
  ASSERT_EQ(platform::BeginReplacement(target, file), 0);
  EXPECT_EQ(file.targetPath, target);
  ASSERT_FALSE(file.tempPath.empty());
  EXPECT_EQ(std::filesystem::path(file.tempPath).parent_path(), folder.Path());
  EXPECT_EQ(ReadFile(target), "old") << "the target is untouched before the commit";
  ASSERT_EQ(platform::CommitReplacement(file), 0);
  EXPECT_FALSE(std::filesystem::exists(file.tempPath.empty() ? "/nonexistent" : file.tempPath));
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

TEST(ReplacementFile, WritableFileInAFolderThatTakesNoNewFilesIsRewrittenInPlace) {
  TempFolder folder;
  const std::string target = folder / "open.txt";
  WriteFile(target, "old content");
  ::chmod(target.c_str(), 0666);
  ::chmod(folder.Path().c_str(), 0555);
  int status = ExitStatusWithoutPrivileges([&] {
    platform::ReplacementFile file;
    if (platform::BeginReplacement(target, file) != 0) return 1;
    if (!file.tempPath.empty()) return 2;
    std::size_t written = 0;
    platform::WriteBytes(file.handle, "new", 3, written);
    return platform::CommitReplacement(file) == 0 ? 0 : 3;
  });
  ::chmod(folder.Path().c_str(), 0700);
  ASSERT_NE(status, 200) << "could not drop privileges";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(target), "new");
}

TEST(ReplacementFile, CommitWithoutAnOpenFileFails) {
  platform::ReplacementFile file;
  EXPECT_NE(platform::CommitReplacement(file), 0);
}

}  // namespace
