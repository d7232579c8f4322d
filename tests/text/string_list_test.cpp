#include "text/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"

namespace {

std::vector<std::string> LinesOf(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

template <typename Action>
std::string ListFailure(Action action) {
  try {
    action();
  } catch (const EStringListError& failure) {
    return failure.Message();
  }
  return "(nothing raised)";
}

TEST(StringListTest, AddAppendsToAnUnsortedListAndReturnsTheIndex) {
  TStringList list;
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("a"), 1);
  EXPECT_EQ(list.Add("b"), 2);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"b", "a", "b"}));
  EXPECT_EQ(list.Objects(1), 0);
}

TEST(StringListTest, SortedAddInsertsInFoldedOrder) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("delta"), 0);
  EXPECT_EQ(list.Add("Alpha"), 0);
  EXPECT_EQ(list.Add("charlie"), 1);
  EXPECT_EQ(list.Add("BRAVO"), 1);
  EXPECT_EQ(list.Add("_under"), 4);  // '_' sorts after the upper-case letters
  EXPECT_EQ(LinesOf(list),
            (std::vector<std::string>{"Alpha", "BRAVO", "charlie", "delta", "_under"}));
}

TEST(StringListTest, DuplicatePolicies) {
  TStringList ignore;
  ignore.SetSorted(true);
  ignore.Add("a");
  ignore.Add("m");
  EXPECT_EQ(ignore.Add("M"), 1);
  EXPECT_EQ(ignore.Count(), 2);
  EXPECT_EQ(ignore.Strings(1), "m");

  TStringList accept;
  accept.SetSorted(true);
  accept.SetDuplicates(TDuplicates::dupAccept);
  accept.Add("m");
  accept.Add("a");
  accept.Add("M");
  EXPECT_EQ(accept.Count(), 3);
  EXPECT_EQ(accept.Strings(0), "a");

  TStringList error;
  error.SetSorted(true);
  error.SetDuplicates(TDuplicates::dupError);
  error.Add("m");
  EXPECT_EQ(ListFailure([&] { error.Add("M"); }), "String list does not allow duplicates");
  EXPECT_EQ(error.Count(), 1);
}

TEST(StringListTest, DuplicatesAreOnlyCheckedWhenSorted) {
  TStringList list;
  list.SetDuplicates(TDuplicates::dupError);
  list.Add("x");
  EXPECT_EQ(list.Add("x"), 1);
}

TEST(StringListTest, InsertBoundsAndSortedRefusal) {
  TStringList list;
  list.Add("a");
  list.Insert(0, "first");
  list.Insert(2, "last");
  list.InsertObject(1, "middle", 42);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"first", "middle", "a", "last"}));
  EXPECT_EQ(list.Objects(1), 42);
  EXPECT_EQ(ListFailure([&] { list.Insert(5, "x"); }), "List index out of bounds (5)");
  EXPECT_EQ(ListFailure([&] { list.Insert(-1, "x"); }), "List index out of bounds (-1)");
  list.SetSorted(true);
  EXPECT_EQ(ListFailure([&] { list.Insert(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ListFailure([&] { list.Put(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(list.Count(), 4);
}

TEST(StringListTest, IndexedAccessIsChecked) {
  TStringList list;
  EXPECT_EQ(ListFailure([&] { list.Strings(0); }), "List index out of bounds (0)");
  list.Add("a");
  EXPECT_EQ(ListFailure([&] { list.Strings(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ListFailure([&] { list.Objects(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListFailure([&] { list.SetObject(1, 0); }), "List index out of bounds (1)");
  EXPECT_EQ(ListFailure([&] { list.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ListFailure([&] { list.Exchange(0, 1); }), "List index out of bounds (1)");
  EXPECT_EQ(ListFailure([&] { list.Put(2, "x"); }), "List index out of bounds (2)");
}

TEST(StringListTest, SettingSortedSortsOnce) {
  TStringList list;
  for (const char* line : {"pear", "Apple", "fig", "apple"}) list.Add(line);
  list.SetSorted(true);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"Apple", "apple", "fig", "pear"}));
  std::int32_t index = -1;
  EXPECT_TRUE(list.Find("FIG", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find("grape", index));
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(list.Find("zzz", index));
  EXPECT_EQ(index, 4);
  list.SetSorted(false);
  list.Add("banana");
  EXPECT_EQ(list.Strings(4), "banana");
}

TEST(StringListTest, EditingAndSearching) {
  TStringList list;
  for (const char* line : {"Name=one", "x", "other=two", "=three"}) list.Add(line);
  EXPECT_EQ(list.IndexOf("X"), 1);
  EXPECT_EQ(list.IndexOf("\xe4"), -1);
  EXPECT_EQ(list.IndexOfName("NAME"), 0);
  EXPECT_EQ(list.IndexOfName("other"), 2);
  EXPECT_EQ(list.IndexOfName("x"), -1);
  list.Exchange(0, 2);
  EXPECT_EQ(list.IndexOfName("name"), 2);
  list.Delete(0);
  EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"x", "Name=one", "=three"}));
  list.Put(0, "y");
  EXPECT_EQ(list.Strings(0), "y");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, NonAsciiBytesAreNotFolded) {
  TStringList list;
  list.Add("\xc4");
  EXPECT_EQ(list.IndexOf("\xe4"), -1);
  EXPECT_EQ(list.IndexOf("\xc4"), 0);
}

TEST(StringListTest, AssignCopiesLinesAndObjects) {
  TStringList source;
  source.InsertObject(0, "b", 2);
  source.InsertObject(0, "a", 1);
  TStringList target;
  target.Add("old");
  target.Assign(source);
  EXPECT_EQ(LinesOf(target), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(target.Objects(0), 1);
  EXPECT_EQ(target.Objects(1), 2);
  EXPECT_EQ(target.UpdateCount(), 0);
}

}  // namespace
