#include "program/program.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

using namespace std::string_literals;

struct NameCase {
  std::string fileNamePart;
  std::string expected;
};

TEST(ProgramNameFrom, CutsTwelveCharactersFromTheFirstDot) {
  const NameCase cases[] = {
      {"quorve.exe", "quorve"},
      {"my.tool.exe", "my"},
      {"a.bcdefghijklmnop.exe", "amnop.exe"},
      {"tool", "tool"},
      {"", ""},
      {".exe", ""},
      {"x.", "x"},
      // Exactly twelve characters from the dot on: all of them go.
      {"n.12345678901", "n"},
      {"n.123456789012", "n2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramNameFrom(c.fileNamePart), c.expected) << c.fileNamePart;
  }
}

TEST(FileBaseName, DropsFolderAndLastExtension) {
  const NameCase cases[] = {
      {"C:\\data\\report.old.txt", "report.old"},
      {"C:\\data\\README", "README"},
      {"notes.", "notes"},
      {".profile", ""},
      {"/home/user/pets.txt", "pets"},
      {"/home/user.d/README", "README"},  // a dot in a folder is no extension
      {"C:file.txt", "file"},
      {"archive.tar.gz", "archive.tar"},
      {"/trailing/", ""},
      {"", ""},
      {"a\0b.txt"s, "a\0b"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileBaseName(c.fileNamePart), c.expected) << c.fileNamePart;
  }
}

struct TokenCase {
  std::string text;
  char separator;
  std::int32_t index;
  std::string expected;
};

TEST(Token, FieldsCountedFromEitherEnd) {
  const TokenCase cases[] = {
      {"a,b,c", ',', 1, "a"},
      {"a,b,c", ',', 2, "b"},
      {"a,b,c", ',', 3, "c"},
      {"a,b,c", ',', 4, ""},
      {"a,b,c", ',', -1, "c"},
      {"a,b,c", ',', -2, "b"},
      {"a,b,c", ',', -3, "a"},
      {"a,b,c", ',', -4, ""},
      {",a", ',', 1, ""},
      {",a", ',', 2, "a"},
      {",a", ',', -2, ""},
      {",a", ',', -3, ""},
      {"a,,b", ',', 2, ""},
      {"a,,b", ',', 3, "b"},
      {"a,b,", ',', 2, "b"},
      {"a,b,", ',', 3, ""},
      {"a,b,", ',', -1, ""},
      {"C:\\tools\\bin\\", '\\', -1, ""},
      {"C:\\tools\\bin\\", '\\', -2, "bin"},
      {"C:\\", '\\', -2, "C:"},
      {"/opt/tools/bin/", '/', -2, "bin"},
      {"/", '/', -2, ""},
      {"abc", ',', 1, "abc"},
      {"abc", ',', -1, "abc"},
      {"abc", ',', 2, ""},
      {",", ',', 1, ""},
      {",", ',', 2, ""},
      {",", ',', 3, ""},
      {"", ',', 1, ""},
      {"", ',', -1, ""},
      {"a,b", ',', 0, ""},
      {"a,b", ',', std::numeric_limits<std::int32_t>::max(), ""},
      {"a,b", ',', std::numeric_limits<std::int32_t>::min(), ""},
      // Separators are bytes like any other, the zero byte included.
      {"a\0b\0c"s, '\0', 2, "b"},
      {"x\0y,z"s, ',', 1, "x\0y"s},
      {"A,a", 'A', 2, ",a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Token(c.text, c.index, c.separator), c.expected)
        << "text '" << c.text << "' index " << c.index;
  }
}

TEST(FolderParts, SplitAtBackslashSlashAndColon) {
  EXPECT_EQ(FolderPartOf("C:\\tools\\bin\\quorve.exe"), "C:\\tools\\bin\\");
  EXPECT_EQ(FileNamePartOf("C:\\tools\\bin\\quorve.exe"), "quorve.exe");
  EXPECT_EQ(FolderPartOf("/usr/local/bin/quorve"), "/usr/local/bin/");
  EXPECT_EQ(FileNamePartOf("/usr/local/bin/quorve"), "quorve");
  EXPECT_EQ(FolderPartOf("C:quorve.exe"), "C:");
  EXPECT_EQ(FileNamePartOf("C:quorve.exe"), "quorve.exe");
  EXPECT_EQ(FolderPartOf("quorve"), "");
  EXPECT_EQ(FileNamePartOf("quorve"), "quorve");
}

TEST(FolderSeparator, IsTheLastSeparatorOfTheFolder) {
  EXPECT_EQ(FolderSeparator("/opt/tools/bin/"), '/');
  EXPECT_EQ(FolderSeparator("C:\\tools\\bin\\"), '\\');
  EXPECT_EQ(FolderSeparator("/home/a\\b/"), '/');  // a backslash in a Linux name
  EXPECT_EQ(FolderSeparator("C:"), '\\');
  EXPECT_EQ(FolderSeparator(""), '\\');
}

std::string Unchanged(std::string_view name) {
  return std::string(name);
}
std::string DropsFinalSeparator(std::string_view name) {
  std::string folder(name);
  if (folder.size() > 1) folder.pop_back();
  return folder;
}
std::string CannotExpand(std::string_view) {
  return std::string();
}

TEST(ProgramFolderFrom, RemovesLongPathPrefixAndEndsWithSeparator) {
  EXPECT_EQ(ProgramFolderFrom("\\\\?\\C:\\tools\\bin\\quorve.exe", Unchanged), "C:\\tools\\bin\\");
  EXPECT_EQ(ProgramFolderFrom("C:\\tools\\bin\\quorve.exe", DropsFinalSeparator),
            "C:\\tools\\bin\\");
  EXPECT_EQ(ProgramFolderFrom("/opt/bin/quorve", DropsFinalSeparator), "/opt/bin/");
  EXPECT_EQ(ProgramFolderFrom("/quorve", Unchanged), "/");
  // The prefix only counts at the very start.
  EXPECT_EQ(ProgramFolderFrom("C:\\\\?\\x\\quorve.exe", Unchanged), "C:\\\\?\\x\\");
  EXPECT_EQ(ProgramFolderFrom("quorve", Unchanged), "");
  EXPECT_EQ(ProgramFolderFrom("/opt/bin/quorve", CannotExpand), "/opt/bin/");
}

// The full name of a folder as the platform writes it, with its separator at the end.
std::string FullFolder(const std::string& folder) {
  const std::string full = platform::FullPathOf(folder);
  return full + FolderSeparator(full);
}

TEST(ProgramFolderFrom, ExpandsRelativeAndDottedFolders) {
  EXPECT_EQ(ProgramFolderFrom("/opt/tools/../bin/./quorve", platform::FullPathOf),
            FullFolder("/opt/bin"));
  const std::string fromRelative = ProgramFolderFrom("sub/quorve", platform::FullPathOf);
  EXPECT_EQ(fromRelative, FullFolder("sub"));
  EXPECT_NE(fromRelative.rfind("sub", 0), 0u);
}

TEST(LibStartUp, DescribesTheRunningProgram) {
  LibStartUp();
  EXPECT_EQ(ModuleFileName, platform::ExecutablePath());
  EXPECT_EQ(ProgramName, "program_tests");
  ASSERT_FALSE(ProgramFolder.empty());
  EXPECT_EQ(ProgramFolder.back(), FolderSeparator(ModuleFileName));
  ASSERT_EQ(ModuleFileName.rfind(ProgramFolder, 0), 0u);
  const std::string fileName = ModuleFileName.substr(ProgramFolder.size());
  EXPECT_TRUE(fileName == "program_tests" || fileName == "program_tests.exe") << fileName;
  EXPECT_EQ(Token(ProgramFolder, -2, FolderSeparator(ProgramFolder)),
            Token(ModuleFileName, -2, FolderSeparator(ModuleFileName)));

  const platform::TimeZoneState zone = platform::CurrentTimeZone();
  if (zone.known) {
    EXPECT_DOUBLE_EQ(TimeZoneBias, zone.biasMinutes / 1440.0);
    EXPECT_EQ(DaylightActive, zone.daylight);
  } else {
    EXPECT_EQ(TimeZoneBias, 0.0);
    EXPECT_FALSE(DaylightActive);
  }

  LibShutDown();
  EXPECT_TRUE(ModuleFileName.empty());
  EXPECT_TRUE(ProgramFolder.empty());
  EXPECT_TRUE(ProgramName.empty());
}

TEST(SmallHelpers, ComputerNameIsThePlatformsAndPumpReturns) {
  EXPECT_EQ(ComputerName(), platform::ComputerName());
  PumpMessages();  // an empty queue: must return at once
  PumpMessages();
}

}  // namespace
