#include "app/screen_messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app_fixture.h"

namespace apptest {
namespace {

using namespace std::string_literals;

using ScreenTest = AppTest;

TEST_F(ScreenTest, BannerNamesTheInputFileOrWhatTheRunIsFor) {
  Settings.InputFile = "/home/user/data/pets.txt";
  Settings.HelpRequested = true;
  EXPECT_EQ(BannerText(), "Quorve tool v1.17  (pets)");
  Settings.InputFile.clear();
  EXPECT_EQ(BannerText(), "Quorve tool v1.17  (-?: help page)");
  Settings.HelpRequested = false;
  EXPECT_EQ(BannerText(), "Quorve tool v1.17  (std input, ^Z to abort)");
}

TEST_F(ScreenTest, PairEchoIsNumberedInListOrderOnOneLine) {
  SearchList->Add("cat");
  ReplaceList->Add("dog");
  SearchList->Add("");
  ReplaceList->Add("x");
  SearchList->Add("a\nb"s);  // a line feed alone keeps the one-line form
  ReplaceList->Add("\0="s);
  EXPECT_EQ(PairEchoTexts(), (std::vector<std::string>{"1: cat=dog", "2: =x", "3: a\nb=\0="s}));
}

TEST_F(ScreenTest, SearchWithCarriageReturnIsEchoedAsABlock) {
  SearchList->Add("a");
  ReplaceList->Add("b");
  SearchList->Add("x\r\ny");
  ReplaceList->Add("z\r");
  auto texts = PairEchoTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "2 --- search\r\nx\r\ny\r\n  --- replace\r\nz\r\r\n=====");
}

TEST_F(ScreenTest, CarriageReturnInTheReplaceTextAloneKeepsOneLine) {
  SearchList->Add("a");
  ReplaceList->Add("b\rc");
  EXPECT_EQ(PairEchoTexts(), (std::vector<std::string>{"1: a=b\rc"}));
}

using ScreenDeathTest = ScreenTest;

TEST_F(ScreenDeathTest, HelpExitsWithZeroAndFailureWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto quietly = [](auto action) {
    if (!std::freopen("/dev/null", "w", stdout)) return;
    action();
  };
  EXPECT_EXIT(quietly([] { ShowHelp(); }), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(quietly([] { FailWith("File not found: x"); }), ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace apptest
