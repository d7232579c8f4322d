#include "platform/win32/replacement_names.h"

#include <gtest/gtest.h>

namespace {

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
