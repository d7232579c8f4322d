// Shared set-up for the run-control tests: fresh settings and pair lists for every
// test, the upper-case table built once, and a way to work in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "faststrings/fast_strings.h"
#include "support/temp_folder.h"

namespace apptest {

using Pair = std::pair<std::string, std::string>;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool started = [] {
      FastStringsStartUp();
      return true;
    }();
    (void)started;
    Settings = TSettings{};
    SearchList = std::make_unique<TStringList>();
    ReplaceList = std::make_unique<TStringList>();
  }
  void TearDown() override {
    SearchList.reset();
    ReplaceList.reset();
    Settings = TSettings{};
  }

  static std::vector<Pair> Pairs() {
    std::vector<Pair> pairs;
    EXPECT_EQ(SearchList->Count(), ReplaceList->Count());
    for (std::int32_t i = 0; i < SearchList->Count(); ++i) {
      pairs.emplace_back(SearchList->Strings(i), ReplaceList->Strings(i));
    }
    return pairs;
  }
};

// The shared temporary folder, made the current directory for the test's lifetime.
struct ScratchFolder : test_support::TempFolder {
  test_support::CurrentFolderScope current{path()};
};

}  // namespace apptest
