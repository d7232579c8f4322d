#include "platform/win32/replacement_names.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::BackupNameBeside;
using platform::win32::FolderPartOf;
using platform::win32::TemporaryNameBeside;
using platform::win32::WithoutLongPathPrefix;

TEST(ReplacementNames, FolderPartEndsAtTheLastSeparatorOrDrive) {
  EXPECT_EQ(FolderPartOf("C:\\data\\in.txt"), "C:\\data\\");
  EXPECT_EQ(FolderPartOf("data/in.txt"), "data/");
  EXPECT_EQ(FolderPartOf("C:in.txt"), "C:");
  EXPECT_EQ(FolderPartOf("in.txt"), "");
  EXPECT_EQ(FolderPartOf("\\\\server\\share\\x"), "\\\\server\\share\\");
}

TEST(ReplacementNames, TemporaryNameStaysInTheTargetsFolder) {
  EXPECT_EQ(TemporaryNameBeside("C:\\data\\in.txt", 0xAB), "C:\\data\\.in.txt.000000ab.tmp");
  EXPECT_EQ(TemporaryNameBeside("in.txt", 0xFFFFFFFFu), ".in.txt.ffffffff.tmp");
  EXPECT_EQ(TemporaryNameBeside("C:in.txt", 1), "C:.in.txt.00000001.tmp");
  EXPECT_NE(TemporaryNameBeside("a.txt", 1), TemporaryNameBeside("a.txt", 2));
}

TEST(ReplacementNames, LongNamesAreCutToKeepTheNameValid) {
  const std::string longName(250, 'n');
  std::string name = TemporaryNameBeside("C:\\d\\" + longName, 0);
  EXPECT_EQ(name, "C:\\d\\." + std::string(200, 'n') + ".00000000.tmp");
  EXPECT_LE(name.size() - 5, 255u);
}

TEST(ReplacementNames, BackupNameSaysWhatItIsAndWhoseItIs) {
  EXPECT_EQ(BackupNameBeside("C:\\data\\in.txt", 4242, 0), "C:\\data\\.in.txt.quorve-backup-4242");
  EXPECT_EQ(BackupNameBeside("in.txt", 7, 3), ".in.txt.quorve-backup-7-3");
  EXPECT_EQ(BackupNameBeside("C:\\d\\" + std::string(250, 'n'), 1, 0),
            "C:\\d\\." + std::string(200, 'n') + ".quorve-backup-1");
}

TEST(ReplacementNames, OnlyDrivePathsLoseTheLongPathPrefix) {
  EXPECT_EQ(WithoutLongPathPrefix(R"(\\?\C:\d\f.txt)"), R"(C:\d\f.txt)");
  EXPECT_EQ(WithoutLongPathPrefix(R"(\\?\z:\)"), R"(z:\)");
  EXPECT_EQ(WithoutLongPathPrefix(R"(\\?\UNC\srv\share\f)"), R"(\\?\UNC\srv\share\f)");
  EXPECT_EQ(WithoutLongPathPrefix(R"(\\?\C:)"), R"(\\?\C:)");
  EXPECT_EQ(WithoutLongPathPrefix(R"(\\?\1:\x)"), R"(\\?\1:\x)");
  EXPECT_EQ(WithoutLongPathPrefix(R"(C:\d\f.txt)"), R"(C:\d\f.txt)");
  EXPECT_EQ(WithoutLongPathPrefix(""), "");
}

}  // namespace
