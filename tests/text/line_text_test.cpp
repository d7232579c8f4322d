#include "text/line_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "support/temp_folder.h"
#include "text/string_list.h"

namespace {

using test_support::EntryCount;
using test_support::MakeReadOnly;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

std::vector<std::string> LinesOf(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

TStringList ListOf(const std::vector<std::string>& lines) {
  TStringList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

// Counts the adds that reach the AddObject slot.
class CountingList : public TStringList {
 public:
  std::int32_t AddObject(std::string line, std::intptr_t object) override {
    ++adds;
    return TStringList::AddObject(std::move(line), object);
  }
  int adds = 0;
};

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class SplitIntoLinesTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitIntoLinesTable, GivesTheLines) {
  TStringList list;
  list.Add("stale");
  SplitIntoLines(list, GetParam().text);
  EXPECT_EQ(LinesOf(list), GetParam().lines);
  EXPECT_EQ(list.UpdateCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitIntoLinesTable,
    ::testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"OneLine", "a", {"a"}},
                      SplitCase{"CrLfAtEnd", "a\r\n", {"a"}}, SplitCase{"OnlyCrLf", "\r\n", {""}},
                      SplitCase{"OnlyLf", "\n", {""}}, SplitCase{"OnlyCr", "\r", {""}},
                      SplitCase{"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                      SplitCase{"CrCrIsTwoEnds", "a\r\rb", {"a", "", "b"}},
                      SplitCase{"LoneCr", "a\rb", {"a", "b"}},
                      SplitCase{"MixedEnds", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                      SplitCase{"EmptyLinesKept", "\n\na\n\n", {"", "", "a", ""}},
                      SplitCase{"NulEndsText", std::string("a\0b\r\nc", 6), {"a"}},
                      SplitCase{"NulAfterLineEnd", std::string("a\r\n\0b", 5), {"a"}},
                      SplitCase{"NulAfterCr", std::string("a\r\0\nb", 5), {"a"}},
                      SplitCase{"NulFirst", std::string("\0abc", 4), {""}},
                      SplitCase{"HighBytes", "\xff\xe4\x1a\x0e", {"\xff\xe4\x1a\x0e"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitIntoLinesTest, EveryAddGoesThroughTheSlot) {
  CountingList list;
  SplitIntoLines(list, "a\nb\r\nc");
  EXPECT_EQ(list.adds, 3);
}

TEST(SplitIntoLinesTest, FailureInsideStillEndsTheUpdate) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(SplitIntoLines(list, "b\na\nB\n"), EStringListError);
  EXPECT_EQ(list.UpdateCount(), 0);
}

struct JoinCase {
  const char* name;
  std::vector<std::string> lines;
  std::string text;
};

class JoinLinesTable : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinLinesTable, PutsCrLfAfterEveryLine) {
  EXPECT_EQ(JoinLines(ListOf(GetParam().lines)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, JoinLinesTable,
    ::testing::Values(JoinCase{"Empty", {}, ""}, JoinCase{"OneEmptyLine", {""}, "\r\n"},
                      JoinCase{"TwoLines", {"a", "b"}, "a\r\nb\r\n"},
                      JoinCase{"LineWithBreakInside", {"x\r\ny"}, "x\r\ny\r\n"},
                      JoinCase{"NulKept", {std::string("a\0b", 3)}, std::string("a\0b\r\n", 5)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinLinesTest, AnItemWithALineBreakSplitsBackIntoTwo) {
  TStringList list;
  SplitIntoLines(list, JoinLines(ListOf({"x\r\ny", "z"})));
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"x", "y", "z"}));
}

TEST(LoadLinesTest, ReadsTheWholeFileUpToTheFirstNul) {
  TempFolder folder;
  std::string bytes = "one\r\ntwo\nthree\rfour";
  WriteFile(folder / "a.txt", bytes);
  CountingList list;
  LoadLines(list, folder / "a.txt");
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(list.UpdateCount(), 0);

  std::string withNul = std::string("a\r\nb\0c\r\n", 8);
  for (int i = 0; i < 100; ++i) withNul += "more\r\n";
  // Not "nul.txt": on Windows that names the NUL device in every folder.
  WriteFile(folder / "zero.txt", withNul);
  LoadLines(list, folder / "zero.txt");
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"a", "b"}));
}

TEST(LoadLinesTest, LargeFileWithLongLines) {
  TempFolder folder;
  std::string bytes;
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    expected.push_back(
        std::string(static_cast<std::size_t>(i) * 37, static_cast<char>('a' + i % 26)));
    bytes += expected.back() + (i % 3 == 0 ? "\n" : "\r\n");
  }
  expected.push_back(std::string(200000, 'Z'));
  bytes += expected.back();
  WriteFile(folder / "big.txt", bytes);
  TStringList list;
  LoadLines(list, folder / "big.txt");
  EXPECT_EQ(LinesOf(list), expected);
}

TEST(LoadLinesTest, MissingFileLeavesTheListUntouched) {
  TempFolder folder;
  TStringList list = ListOf({"kept"});
  EXPECT_THROW(LoadLines(list, folder / "missing.txt"), EFOpenError);
  EXPECT_EQ(LinesOf(list), std::vector<std::string>{"kept"});
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(SaveLinesTest, WritesJoinedText) {
  TempFolder folder;
  SaveLines(ListOf({"a", "", std::string("n\0l", 3), "h\r\nf"}), folder / "out.txt");
  EXPECT_EQ(ReadFile(folder / "out.txt"), std::string("a\r\n\r\nn\0l\r\nh\r\nf\r\n", 16));
}

TEST(SaveLinesTest, LinesLargerThanTheWritePieces) {
  TempFolder folder;
  std::vector<std::string> lines;
  std::string expected;
  for (std::size_t size : {10u, 3000000u, 5u, 1048575u, 1048576u, 0u, 700000u, 700000u}) {
    lines.push_back(std::string(size, static_cast<char>('a' + size % 26)));
    expected += lines.back() + "\r\n";
  }
  SaveLines(ListOf(lines), folder / "out.txt");
  EXPECT_EQ(ReadFile(folder / "out.txt"), expected);
}

TEST(SaveLinesTest, EmptyListTruncatesAnExistingFile) {
  TempFolder folder;
  WriteFile(folder / "out.txt", "old");
  SaveLines(TStringList(), folder / "out.txt");
  EXPECT_EQ(ReadFile(folder / "out.txt"), "");
}

TEST(SaveLinesTest, ReadOnlyTargetKeepsItsContent) {
  TempFolder folder;
  WriteFile(folder / "ro.txt", "old\r\n");
  if (!MakeReadOnly(folder / "ro.txt")) GTEST_SKIP() << "running as root";
  EXPECT_THROW(SaveLines(ListOf({"new"}), folder / "ro.txt"), EFCreateError);
  EXPECT_EQ(ReadFile(folder / "ro.txt"), "old\r\n");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(SaveLinesTest, WriteFailureRaisesWriteError) {
  EXPECT_THROW(SaveLines(ListOf({"x"}), "/dev/full"), EWriteError);
}

TEST(SaveLinesTest, ThroughASymbolicLinkTheLinkStays) {
  TempFolder folder;
  WriteFile(folder / "real.txt", "old");
  std::error_code noLinks;
  std::filesystem::create_symlink(folder / "real.txt", folder / "link.txt", noLinks);
  if (noLinks) GTEST_SKIP() << "symbolic links cannot be made here: " << noLinks.message();
  SaveLines(ListOf({"new"}), folder / "link.txt");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
  EXPECT_EQ(ReadFile(folder / "real.txt"), "new\r\n");
}

TEST(ScanHelpersTest, FindAnyOf3AndCountEither) {
  std::string text(100, 'x');
  for (std::size_t at : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 63u, 98u, 99u}) {
    std::string probe = text;
    probe[at] = '\r';
    EXPECT_EQ(
        FindAnyOf3(probe.data(), probe.data() + probe.size(), '\n', '\r', '\0') - probe.data(),
        static_cast<std::ptrdiff_t>(at));
    // A match past the end of the range is not seen.
    EXPECT_EQ(FindAnyOf3(probe.data(), probe.data() + at, '\n', '\r', '\0'), probe.data() + at);
  }
  EXPECT_EQ(FindAnyOf3(text.data(), text.data() + text.size(), 'a', 'b', 'c'),
            text.data() + text.size());
  std::string mixed;
  for (int i = 0; i < 1000; ++i) mixed += (i % 7 == 0) ? '\n' : (i % 11 == 0 ? '\r' : 'y');
  std::size_t expected = 0;
  for (char c : mixed) expected += (c == '\n' || c == '\r');
  EXPECT_EQ(CountEither(mixed.data(), mixed.data() + mixed.size(), '\n', '\r'), expected);
  EXPECT_EQ(CountEither(mixed.data() + 1, mixed.data() + 1, '\n', '\r'), 0u);
}

}  // namespace
