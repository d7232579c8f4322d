#include "text/string_list_fast.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

std::vector<std::string> LinesOf(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

void Fill(TStringList& list, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) list.Add(line);
}

struct NulCase {
  const char* name;
  std::string bytes;
  char substitute;
  std::vector<std::string> lines;
};

class LoadFromFileNulTable : public ::testing::TestWithParam<NulCase> {};

TEST_P(LoadFromFileNulTable, CutsLinesAndSubstitutesNul) {
  TempFolder folder;
  WriteFile(folder / "in.bin", GetParam().bytes);
  TStringListFast list;
  list.Add("stale");
  list.LoadFromFileNul(folder / "in.bin", GetParam().substitute);
  EXPECT_EQ(LinesOf(list), GetParam().lines);
  EXPECT_EQ(list.UpdateCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadFromFileNulTable,
    ::testing::Values(
        NulCase{"Lf", "a\nb", '\x01', {"a", "b"}},
        NulCase{"CrLf", "a\r\nb\r\n", '\x01', {"a", "b"}},
        NulCase{"LfLf", "a\n\n", '\x01', {"a", ""}},
        NulCase{"LfCr", "a\n\rb", '\x01', {"a", "", "b"}},
        NulCase{"CrCr", "a\r\rb", '\x01', {"a", "", "b"}},
        NulCase{"LoneCr", "a\rb", '\x01', {"a", "b"}}, NulCase{"Empty", "", '\x01', {}},
        NulCase{"SingleLf", "\n", '\x01', {""}},
        NulCase{"NulToOne",
                std::string("a\0b", 3),
                '\x01',
                {"a\x01"
                 "b"}},
        NulCase{"NulToCrStaysInLine", std::string("a\0b", 3), '\r', {"a\rb"}},
        NulCase{"NulToLfStaysInLine", std::string("a\0b\n", 4), '\n', {"a\nb"}},
        NulCase{"NulKept", std::string("a\0b", 3), '\0', {std::string("a\0b", 3)}},
        NulCase{"NulAlone", std::string("\0", 1), '#', {"#"}},
        NulCase{"NulAtLineStartsAndEnds", std::string("\0x\0\r\n\0", 6), '_', {"_x_", "_"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TStringListFastTest, NulFollowedByManyLinesLoadsThemAll) {
  TempFolder folder;
  std::string bytes = std::string("head\0tail\r\n", 11);
  for (int i = 0; i < 100; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  WriteFile(folder / "in.bin", bytes);
  TStringListFast list;
  list.LoadFromFileNul(folder / "in.bin", ' ');
  ASSERT_EQ(list.Count(), 101);
  EXPECT_EQ(list.Strings(0), "head tail");
  EXPECT_EQ(list.Strings(100), "line 99");
}

TEST(TStringListFastTest, LoadOfAMissingFileLeavesTheListUntouched) {
  TempFolder folder;
  TStringListFast list;
  Fill(list, {"kept"});
  try {
    list.LoadFromFileNul(folder / "missing.bin", ' ');
    FAIL() << "no failure raised";
  } catch (const EFOpenError& failure) {
    const std::string missing = folder / "missing.bin";
    EXPECT_EQ(failure.Message(),
              "Cannot open file \"" + platform::FullPathOf(missing) + "\". " +
                  platform::SystemErrorText(platform_test::CodeOfOpening(missing)));
  }
  EXPECT_EQ(LinesOf(list), std::vector<std::string>{"kept"});
  EXPECT_EQ(list.UpdateCount(), 0);
}

struct JoinCase {
  const char* name;
  std::vector<std::string> lines;
  std::string separator;
  bool trailing;
  std::string text;
};

class JoinTextTable : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinTextTable, Joins) {
  TStringListFast list;
  Fill(list, GetParam().lines);
  EXPECT_EQ(list.JoinText(GetParam().separator, GetParam().trailing), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, JoinTextTable,
    ::testing::Values(JoinCase{"CommaBetween", {"a", "b"}, ",", false, "a,b"},
                      JoinCase{"CommaTrailing", {"a", "b"}, ",", true, "a,b,"},
                      JoinCase{"OneEmptyLineBetween", {""}, ",", false, ""},
                      JoinCase{"OneEmptyLineTrailing", {""}, ",", true, ","},
                      JoinCase{"EmptyListBetween", {}, ",", false, ""},
                      JoinCase{"EmptyListTrailing", {}, ",", true, ""},
                      JoinCase{"NoSeparator", {"a", "b"}, "", true, "ab"},
                      JoinCase{"LongSeparator", {"a", "b", "c"}, "<->", false, "a<->b<->c"},
                      JoinCase{"BytesCopiedAsTheyAre",
                               {"x\r\n", std::string("\0", 1)},
                               "\n",
                               true,
                               std::string("x\r\n\n\0\n", 6)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TStringListFastTest, GetTextLF) {
  TStringListFast list;
  EXPECT_EQ(list.GetTextLF(), "");
  list.Add("");
  EXPECT_EQ(list.GetTextLF(), "\n");
  list.Clear();
  Fill(list, {"a", "b"});
  EXPECT_EQ(list.GetTextLF(), "a\nb\n");
}

TEST(TStringListFastTest, SaveToFileLFWritesExactBytes) {
  TempFolder folder;
  TStringListFast list;
  Fill(list, {"a", "", "c\r", std::string(2000000, 'w')});
  list.SaveToFileLF(folder / "out.txt");
  EXPECT_EQ(ReadFile(folder / "out.txt"), "a\n\nc\r\n" + std::string(2000000, 'w') + "\n");
}

TEST(TStringListFastTest, SaveToFileLFOfAnEmptyListTruncates) {
  TempFolder folder;
  WriteFile(folder / "out.txt", "previous content");
  TStringListFast().SaveToFileLF(folder / "out.txt");
  EXPECT_EQ(ReadFile(folder / "out.txt"), "");
}

TEST(TStringListFastTest, SaveToFileLFFailureKeepsTheOldFile) {
  TempFolder folder;
  WriteFile(folder / "ro.txt", "old\n");
  TStringListFast list;
  Fill(list, {"new"});
  if (!MakeReadOnly(folder / "ro.txt")) GTEST_SKIP() << "running as root";
  EXPECT_THROW(list.SaveToFileLF(folder / "ro.txt"), EFCreateError);
  EXPECT_EQ(ReadFile(folder / "ro.txt"), "old\n");
  EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(TStringListFastTest, SaveToStreamLFShortWrite) {
  TStringListFast list;
  Fill(list, {"x"});
  auto stream = FileStreamCreate("/dev/full");
  try {
    list.SaveToStreamLF(*stream);
    FAIL() << "no failure raised";
  } catch (const EWriteError& failure) {
    EXPECT_EQ(failure.Message(), "Stream write error");
  }
}

TEST(TStringListFastTest, CompareStringsFoldsAsciiLettersOnly) {
  TStringListFast list;
  EXPECT_EQ(list.CompareStrings("abc", "ABD"), -1);
  EXPECT_EQ(list.CompareStrings("ab", "abc"), -1);
  EXPECT_EQ(list.CompareStrings("b", "A"), 1);
  EXPECT_EQ(list.CompareStrings("Hello", "hELLO"), 0);
  EXPECT_EQ(list.CompareStrings("\xe4", "\xc4"), 0x20);
  EXPECT_EQ(list.CompareStrings("\xff", "a"), 0xff - 'A');
  EXPECT_EQ(list.CompareStrings("", ""), 0);
  EXPECT_EQ(list.CompareStrings(std::string("a\0", 2), "a"), 1);
}

TEST(TStringListFastTest, IndexOfUnsortedAndSorted) {
  TStringListFast list;
  Fill(list, {"pear", "Fig", "fig"});
  EXPECT_EQ(list.IndexOf("FIG"), 1);
  EXPECT_EQ(list.IndexOf("plum"), -1);
  list.SetSorted(true);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"Fig", "fig", "pear"}));
  EXPECT_EQ(list.IndexOf("PEAR"), 2);
  EXPECT_EQ(list.IndexOf("apple"), -1);
}

// Orders backwards, so a sorted copy that was sorted again would show it.
class ReversedList : public TStringList {
 public:
  std::int32_t CompareStrings(std::string_view a, std::string_view b) const override {
    return TStringList::CompareStrings(b, a);
  }
};

TEST(TStringListFastTest, AssignOfASortedSourceKeepsItsOrder) {
  ReversedList source;
  Fill(source, {"a", "c", "b"});
  source.SetSorted(true);
  ASSERT_EQ(LinesOf(source), (std::vector<std::string>{"c", "b", "a"}));
  TStringListFast target;
  target.SetSorted(true);
  target.Add("old");
  target.Assign(source);
  EXPECT_EQ(LinesOf(target), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_TRUE(target.Sorted());
  EXPECT_EQ(target.UpdateCount(), 0);
  // FAssigning is over: sorting again after an unsorted spell works.
  target.SetSorted(false);
  target.SetSorted(true);
  EXPECT_EQ(LinesOf(target), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TStringListFastTest, AssignOfAnUnsortedSourceIntoASortedListSortsIt) {
  TStringList source;
  Fill(source, {"b", "c", "a"});
  TStringListFast target;
  target.SetSorted(true);
  target.Assign(source);
  EXPECT_EQ(LinesOf(target), (std::vector<std::string>{"a", "b", "c"}));
  TStringListFast unsorted;
  unsorted.Assign(source);
  EXPECT_EQ(LinesOf(unsorted), (std::vector<std::string>{"b", "c", "a"}));
}

TEST(TStringListFastTest, SortOrdersByFoldedBytesAndIsStable) {
  TStringListFast list;
  Fill(list, {"b", "B", "a", "\xe4", "A"});
  list.Sort();
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"a", "A", "b", "B", "\xe4"}));
}

TEST(TStringListFastTest, UnkeyedOperationsBehaveAsTheBaseList) {
  TStringListFast list;
  EXPECT_EQ(list.Keys(), nullptr);
  EXPECT_EQ(list.AddObject("no name", 7), 0);
  EXPECT_EQ(list.Add("k=v"), 1);
  list.Put(0, "changed");
  EXPECT_EQ(list.IndexOfName("K"), 1);
  list.Exchange(0, 1);
  list.Delete(1);
  EXPECT_EQ(LinesOf(list), std::vector<std::string>{"k=v"});
}

class KeyedListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Fill(list, {"a=1", "b=2", "plain", "x=1", "=empty name"});
    list.AttachKeyIndex();
  }
  TStringListFast list;
};

TEST_F(KeyedListTest, IndexHoldsNamedLinesOnly) {
  ASSERT_NE(list.Keys(), nullptr);
  EXPECT_EQ(LinesOf(*list.Keys()), (std::vector<std::string>{"a", "b", "x"}));
  EXPECT_EQ(list.IndexOfName("A"), 0);
  EXPECT_EQ(list.IndexOfName("x"), 3);
  EXPECT_EQ(list.IndexOfName("plain"), -1);
  EXPECT_EQ(list.IndexOfName(""), -1);
}

TEST_F(KeyedListTest, PutIsRefused) {
  try {
    list.Put(0, "a=9");
    FAIL() << "no failure raised";
  } catch (const EStringListError& failure) {
    EXPECT_EQ(failure.Message(), "StringList has Keys");
  }
  EXPECT_EQ(list.Strings(0), "a=1");
}

TEST_F(KeyedListTest, AddOfAKnownNameReplacesItsLine) {
  EXPECT_EQ(list.AddObject("x=2", 5), -1);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Strings(3), "x=2");
  EXPECT_EQ(list.Objects(3), 5);
  EXPECT_EQ(list.Add("X=3"), -1);
  EXPECT_EQ(list.Strings(3), "X=3");
}

TEST_F(KeyedListTest, AddWithoutANamePartAddsNothing) {
  EXPECT_EQ(list.Add("no equals"), -1);
  EXPECT_EQ(list.Add("=starts with it"), -1);
  EXPECT_EQ(list.Count(), 5);
}

TEST_F(KeyedListTest, AddOfANewNameAppendsAndIndexesIt) {
  EXPECT_EQ(list.AddObject("c=3", 9), -1);
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Strings(5), "c=3");
  EXPECT_EQ(list.Objects(5), 9);
  EXPECT_EQ(list.IndexOfName("c"), 5);
  EXPECT_EQ(list.IndexOfName("x"), 3);
}

TEST_F(KeyedListTest, DeleteMovesTheLaterIndexesDown) {
  list.Delete(0);
  EXPECT_EQ(list.IndexOfName("a"), -1);
  EXPECT_EQ(list.IndexOfName("b"), 0);
  EXPECT_EQ(list.IndexOfName("x"), 2);
  list.Delete(1);  // "plain": no key of its own
  EXPECT_EQ(list.IndexOfName("b"), 0);
  EXPECT_EQ(list.IndexOfName("x"), 1);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"b=2", "x=1", "=empty name"}));
}

TEST_F(KeyedListTest, ExchangeSwapsTheStoredIndexes) {
  list.Exchange(0, 3);
  EXPECT_EQ(list.IndexOfName("a"), 3);
  EXPECT_EQ(list.IndexOfName("x"), 0);
  list.Exchange(1, 2);
  EXPECT_EQ(list.IndexOfName("b"), 2);
  EXPECT_EQ(list.Strings(1), "plain");
}

TEST_F(KeyedListTest, ClearEmptiesTheIndexToo) {
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Keys()->Count(), 0);
  EXPECT_EQ(list.IndexOfName("a"), -1);
}

TEST_F(KeyedListTest, LoadersAddThroughTheKeyedSlot) {
  TempFolder folder;
  WriteFile(folder / "in.txt", std::string("p=1\nno name\nq=2\nP=3\0x\n", 23));
  list.LoadFromFileNul(folder / "in.txt", '!');
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"P=3!x", "q=2"}));
  EXPECT_EQ(list.IndexOfName("p"), 0);
  EXPECT_EQ(list.IndexOfName("q"), 1);
}

}  // namespace
