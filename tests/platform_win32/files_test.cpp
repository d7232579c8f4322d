#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace {

using namespace platform;

constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kSharingViolation = 32;

std::string ReadAll(FileHandle handle) {
  std::string bytes;
  char buffer[7];  // small, so reads end inside and at block edges
  for (;;) {
    std::size_t got = 0;
    EXPECT_EQ(ReadBytes(handle, buffer, sizeof buffer, got), 0);
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

ErrorCode WriteAll(FileHandle handle, const std::string& bytes) {
  std::size_t written = 0;
  ErrorCode code = WriteBytes(handle, bytes.data(), bytes.size(), written);
  EXPECT_EQ(written, code == 0 ? bytes.size() : written);
  return code;
}

const std::string kAwkwardBytes("a\r\nb\nc\rd\0e\x1a\xff\r\n", 14);

TEST(Win32Files, BytesGoOutAndComeBackExactlyWithoutLineEndTranslation) {
  test_support::TempFolder folder;
  FileHandle handle;
  ASSERT_EQ(CreateForWriting(folder / "f.bin", handle), 0);
  EXPECT_EQ(WriteAll(handle, kAwkwardBytes), 0);
  EXPECT_EQ(CloseFileHandle(handle), 0);
  EXPECT_EQ(folder.Read("f.bin"), kAwkwardBytes);

  ASSERT_EQ(OpenForReading(folder / "f.bin", handle), 0);
  EXPECT_EQ(ReadAll(handle), kAwkwardBytes);
  std::size_t got = 99;
  char byte;
  EXPECT_EQ(ReadBytes(handle, &byte, 1, got), 0);  // still the end, no failure
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(CloseFileHandle(handle), 0);
}

TEST(Win32Files, CreatingTruncatesAnExistingFile) {
  test_support::TempFolder folder;
  folder.Write("f.txt", "a long old content");
  FileHandle handle;
  ASSERT_EQ(CreateForWriting(folder / "f.txt", handle), 0);
  EXPECT_EQ(WriteAll(handle, "new"), 0);
  CloseFileHandle(handle);
  EXPECT_EQ(folder.Read("f.txt"), "new");
}

TEST(Win32Files, OpenFailuresKeepTheWindowsCodes) {
  test_support::TempFolder folder;
  std::filesystem::create_directory(folder / "sub");
  FileHandle handle = 12345;
  EXPECT_EQ(OpenForReading(folder / "missing.txt", handle), kFileNotFound);
  EXPECT_EQ(handle, kInvalidHandle);
  EXPECT_EQ(OpenForReading(folder / "nofolder\\x.txt", handle), kPathNotFound);
  EXPECT_EQ(OpenForUpdate(folder / "missing.txt", handle), kFileNotFound);
  EXPECT_EQ(CreateForWriting(folder / "nofolder\\x.txt", handle), kPathNotFound);
  EXPECT_EQ(OpenForReading(folder / "sub", handle), kAccessDenied);
  EXPECT_EQ(OpenForReading("", handle), kFileNotFound);
  EXPECT_EQ(OpenForReading(folder / std::string("a\0b", 3), handle), kFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(folder / "a"));
}

TEST(Win32Files, OthersMayReadAnOpenFileButNotWriteIt) {
  test_support::TempFolder folder;
  folder.Write("f.txt", "shared");
  FileHandle reader;
  ASSERT_EQ(OpenForReading(folder / "f.txt", reader), 0);
  FileHandle second;
  ASSERT_EQ(OpenForReading(folder / "f.txt", second), 0);
  CloseFileHandle(second);
  FileHandle writer;
  EXPECT_EQ(CreateForWriting(folder / "f.txt", writer), kSharingViolation);
  EXPECT_EQ(OpenForUpdate(folder / "f.txt", writer), kSharingViolation);
  CloseFileHandle(reader);
  EXPECT_EQ(folder.Read("f.txt"), "shared");

  // While it is written, a reader must itself allow writers (as the C runtime does);
  // one that does not, as this layer's own opens, is refused.
  ASSERT_EQ(CreateForWriting(folder / "g.txt", writer), 0);
  WriteAll(writer, "seen");
  EXPECT_EQ(folder.Read("g.txt"), "seen");
  EXPECT_EQ(OpenForReading(folder / "g.txt", second), kSharingViolation);
  CloseFileHandle(writer);
}

TEST(Win32Files, SizeSeekAndTruncate) {
  test_support::TempFolder folder;
  folder.Write("f.txt", "0123456789");
  FileHandle handle;
  ASSERT_EQ(OpenForUpdate(folder / "f.txt", handle), 0);
  std::uint64_t size = 0, position = 0;
  EXPECT_EQ(FileSizeOf(handle, size), 0);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(SeekTo(handle, -3, SeekOrigin::End, position), 0);
  EXPECT_EQ(position, 7u);
  EXPECT_EQ(SeekTo(handle, -2, SeekOrigin::Current, position), 0);
  EXPECT_EQ(position, 5u);
  EXPECT_EQ(TruncateAtPosition(handle), 0);
  EXPECT_EQ(SeekTo(handle, 1, SeekOrigin::Begin, position), 0);
  EXPECT_EQ(ReadAll(handle), "1234");
  EXPECT_NE(SeekTo(handle, -1, SeekOrigin::Begin, position), 0);
  CloseFileHandle(handle);
  EXPECT_EQ(folder.Read("f.txt"), "01234");
}

TEST(Win32Files, HandleTypes) {
  test_support::TempFolder folder;
  FileHandle handle;
  ASSERT_EQ(CreateForWriting(folder / "f.txt", handle), 0);
  EXPECT_EQ(TypeOfHandle(handle), HandleType::Disk);
  CloseFileHandle(handle);
  ASSERT_EQ(CreateForWriting("NUL", handle), 0);
  EXPECT_EQ(TypeOfHandle(handle), HandleType::Character);
  CloseFileHandle(handle);
  EXPECT_EQ(TypeOfHandle(kInvalidHandle), HandleType::Unknown);
}

TEST(Win32Files, FullPathsResolveDotsUnderTheCurrentFolder) {
  test_support::TempFolder folder;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const std::string here = FullPathOf(".");
  EXPECT_EQ(FullPathOf("a\\..\\b.txt"), here + "\\b.txt");
  EXPECT_EQ(FullPathOf("x\\.\\y\\"), here + "\\x\\y\\");
  EXPECT_EQ(FullPathOf("missing.txt"), here + "\\missing.txt");
  std::filesystem::current_path(previous);
  EXPECT_EQ(FullPathOf("C:\\a\\b\\..\\c"), "C:\\a\\c");
  EXPECT_EQ(FullPathOf(""), "");
  EXPECT_EQ(FullPathOf(std::string("a\0b", 3)), "");
}

TEST(Win32Files, RegularFileExistsIsTrueOnlyForFilesAndTheFirstWildcardMatch) {
  test_support::TempFolder folder;
  folder.Write("a.txt", "x");
  std::filesystem::create_directory(folder / "d.dir");
  EXPECT_TRUE(RegularFileExists(folder / "a.txt"));
  EXPECT_TRUE(RegularFileExists(folder / "*.txt"));
  EXPECT_TRUE(RegularFileExists(folder / "?.txt"));
  EXPECT_FALSE(RegularFileExists(folder / "d.dir"));
  EXPECT_FALSE(RegularFileExists(folder / "*.dir"));
  EXPECT_FALSE(RegularFileExists(folder / "b.txt"));
  EXPECT_FALSE(RegularFileExists(folder.Path()));
  EXPECT_FALSE(RegularFileExists(""));
  EXPECT_FALSE(RegularFileExists(folder / std::string("a.txt\0x", 7)));
}

TEST(Win32Replacement, CommitPutsTheNewBytesInPlaceAndLeavesNoTemporaryFile) {
  test_support::TempFolder folder;
  folder.Write("t.txt", "old");
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement(folder / "t.txt", file), 0);
  ASSERT_FALSE(file.tempPath.empty());
  EXPECT_EQ(std::filesystem::path(file.tempPath).parent_path(),
            std::filesystem::path(folder.Path()));
  EXPECT_EQ(folder.Read("t.txt"), "old");  // untouched until the commit
  EXPECT_EQ(WriteAll(file.handle, kAwkwardBytes), 0);
  EXPECT_EQ(CommitReplacement(file), 0);
  EXPECT_EQ(folder.Read("t.txt"), kAwkwardBytes);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"t.txt"});
}

TEST(Win32Replacement, AbandoningKeepsTheTargetAndRemovesTheTemporaryFile) {
  test_support::TempFolder folder;
  folder.Write("t.txt", "old");
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement(folder / "t.txt", file), 0);
  WriteAll(file.handle, "half");
  AbandonReplacement(file);
  EXPECT_EQ(folder.Read("t.txt"), "old");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"t.txt"});
}

TEST(Win32Replacement, ANewTargetIsCreatedOnCommit) {
  test_support::TempFolder folder;
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement(folder / "new.txt", file), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "new.txt"));
  WriteAll(file.handle, "fresh");
  EXPECT_EQ(CommitReplacement(file), 0);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"new.txt"});
  EXPECT_EQ(folder.Read("new.txt"), "fresh");
}

TEST(Win32Replacement, RefusalsLeaveNothingBehind) {
  test_support::TempFolder folder;
  folder.Write("ro.txt", "keep");
  std::filesystem::permissions(folder / "ro.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ReplacementFile file;
  EXPECT_EQ(BeginReplacement(folder / "ro.txt", file), kAccessDenied);
  EXPECT_EQ(file.handle, kInvalidHandle);
  EXPECT_EQ(BeginReplacement(folder / "nofolder\\x.txt", file), kPathNotFound);
  EXPECT_EQ(BeginReplacement("", file), kFileNotFound);
  EXPECT_EQ(folder.Read("ro.txt"), "keep");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"ro.txt"});
  ReplacementFile empty;
  EXPECT_NE(CommitReplacement(empty), 0);
}

TEST(Win32Replacement, AFileBeingReadIsReplacedOnceTheReaderLetsGo) {
  test_support::TempFolder folder;
  folder.Write("in.txt", "line one\r\n");
  FileHandle reader;
  ASSERT_EQ(OpenForReading(folder / "in.txt", reader), 0);
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement(folder / "in.txt", file), 0);
  EXPECT_EQ(ReadAll(reader), "line one\r\n");
  WriteAll(file.handle, "LINE ONE\r\n");
  CloseFileHandle(reader);
  EXPECT_EQ(CommitReplacement(file), 0);
  EXPECT_EQ(folder.Read("in.txt"), "LINE ONE\r\n");
}

TEST(Win32Replacement, TheTemporaryFileCanBeWrittenThroughItsName) {
  test_support::TempFolder folder;
  folder.Write("in.txt", "old\r\n");
  FileHandle reader;
  ASSERT_EQ(OpenForReading(folder / "in.txt", reader), 0);
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement(folder / "in.txt", file), 0);
  FileHandle byName;
  ASSERT_EQ(CreateForWriting(file.tempPath, byName), 0);
  EXPECT_EQ(WriteAll(byName, "new\r\n"), 0);
  EXPECT_EQ(CloseFileHandle(byName), 0);
  CloseFileHandle(reader);
  EXPECT_EQ(CommitReplacement(file), 0);
  EXPECT_EQ(folder.Read("in.txt"), "new\r\n");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"in.txt"});
}

TEST(Win32Replacement, DevicesAreWrittenDirectly) {
  ReplacementFile file;
  ASSERT_EQ(BeginReplacement("NUL", file), 0);
  EXPECT_TRUE(file.tempPath.empty());
  EXPECT_EQ(WriteAll(file.handle, "gone"), 0);
  EXPECT_EQ(CommitReplacement(file), 0);
}

}  // namespace
