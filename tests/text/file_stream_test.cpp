#include "text/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/exceptions.h"
#include "platform/failure_codes.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

using test_support::EntryCount;
using test_support::MakeReadOnly;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

template <typename Failure, typename Action>
std::string MessageOf(Action action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.Message();
  }
  return "(nothing raised)";
}

TEST(FileStreamTest, OpenOfAMissingFileNamesItsFullPath) {
  TempFolder folder;
  const std::string name = folder / "sub/../missing.txt";
  EXPECT_EQ(MessageOf<EFOpenError>([&] { FileStreamOpen(name); }),
            "Cannot open file \"" + platform::FullPathOf(folder / "missing.txt") + "\". " +
                platform::SystemErrorText(platform_test::CodeOfOpening(name)));
}

TEST(FileStreamTest, OpenFailureIsAFileStreamError) {
  TempFolder folder;
  try {
    FileStreamOpen(folder / "none");
    FAIL() << "no failure raised";
  } catch (const EFileStreamError& failure) {
    EXPECT_STREQ(failure.ClassName(), "EFOpenError");
  }
}

TEST(FileStreamTest, ReadsSizeAndPosition) {
  TempFolder folder;
  WriteFile(folder / "f.bin", std::string("0123\0"
                                          "56789",
                                          10));
  auto stream = FileStreamOpen(folder / "f.bin");
  EXPECT_EQ(stream->Size(), 10u);
  EXPECT_EQ(stream->Position(), 0u);
  stream->SeekTo(3);
  EXPECT_EQ(stream->Position(), 3u);
  char buffer[16] = {};
  EXPECT_EQ(stream->Read(buffer, sizeof buffer), 7u);
  EXPECT_EQ(std::string(buffer, 7), std::string("3\0"
                                                "56789",
                                                7));
  EXPECT_EQ(stream->Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(stream->ReadFailure(), 0);
  stream->SeekTo(8);
  const TFileBytes rest = ReadRemaining(*stream);
  EXPECT_EQ(rest.View(), "89");
}

TEST(FileStreamTest, ReadRemainingOfAnEmptyFileIsEmpty) {
  TempFolder folder;
  WriteFile(folder / "empty", "");
  auto stream = FileStreamOpen(folder / "empty");
  EXPECT_EQ(ReadRemaining(*stream).size, 0u);
}

TEST(FileStreamTest, CreateWritesOnlyAtCommit) {
  TempFolder folder;
  const std::string target = folder / "t.txt";
  WriteFile(target, "old");
  {
    auto stream = FileStreamCreate(target);
    WriteAll(*stream, std::string("new\0bytes", 9));
    EXPECT_EQ(ReadFile(target), "old");
    stream->Commit();
  }
  EXPECT_EQ(ReadFile(target), std::string("new\0bytes", 9));
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(FileStreamTest, WithoutCommitTheOldFileStaysAndNothingIsLeft) {
  TempFolder folder;
  const std::string target = folder / "t.txt";
  WriteFile(target, "old");
  {
    auto stream = FileStreamCreate(target);
    WriteAll(*stream, "half of it");
  }
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
  {
    auto stream = FileStreamCreate(folder / "fresh.txt");
    WriteAll(*stream, "never committed");
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "fresh.txt"));
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(FileStreamTest, CreateOfAnEmptyTextTruncates) {
  TempFolder folder;
  WriteFile(folder / "t.txt", "old");
  auto stream = FileStreamCreate(folder / "t.txt");
  WriteAll(*stream, "");
  stream->Commit();
  EXPECT_EQ(ReadFile(folder / "t.txt"), "");
}

TEST(FileStreamTest, CreateInAMissingFolderFails) {
  TempFolder folder;
  const std::string name = folder / "no/such/folder/t.txt";
  EXPECT_EQ(MessageOf<EFCreateError>([&] { FileStreamCreate(name); }),
            "Cannot create file \"" + platform::FullPathOf(name) + "\". " +
                platform::SystemErrorText(platform_test::CodeOfCreating(name)));
}

TEST(FileStreamTest, CreateOverAReadOnlyFileFailsAndKeepsIt) {
  TempFolder folder;
  const std::string target = folder / "ro.txt";
  WriteFile(target, "keep me");
  if (!MakeReadOnly(target)) GTEST_SKIP() << "running as root: read-only files stay writable";
  EXPECT_EQ(MessageOf<EFCreateError>([&] { FileStreamCreate(target); }),
            "Cannot create file \"" + target + "\". Permission denied");
  EXPECT_EQ(ReadFile(target), "keep me");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(FileStreamTest, ShortWriteRaisesWriteError) {
  auto stream = FileStreamCreate("/dev/full");
  EXPECT_NO_THROW(WriteAll(*stream, ""));
  EXPECT_EQ(MessageOf<EWriteError>([&] { WriteAll(*stream, "x"); }), "Stream write error");
}

TEST(FileStreamTest, FailedCommitRaisesWriteErrorAndRemovesTheTemporaryFile) {
  TempFolder folder;
  const std::string target = folder / "t";
  auto stream = FileStreamCreate(target);
  WriteAll(*stream, "content");
  // The target turns into a folder that is not empty: the rename must fail.
  std::filesystem::create_directory(target);
  WriteFile(target + "/inside", "x");
  EXPECT_EQ(MessageOf<EWriteError>([&] { stream->Commit(); }), "Stream write error");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
  EXPECT_EQ(ReadFile(target + "/inside"), "x");
}

}  // namespace
