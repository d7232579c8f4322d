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

TEST_F(ScreenTest, SyntaxLines) {
  EXPECT_EQ(SyntaxTexts(), (std::vector<std::string>{
                               "Syntax: quorve [options] search=replace [search=replace] filename",
                               "        quorve -? for help"}));
}

TEST_F(ScreenTest, HelpPageHasItsThirtySevenLinesWithTabsAndLiteralBackslashes) {
  const auto& lines = HelpPageLines();
  ASSERT_EQ(lines.size(), 37u);
  for (int empty : {1, 10, 18, 33, 35}) EXPECT_EQ(lines[empty - 1], "") << "line " << empty;
  EXPECT_EQ(lines[1], "Options include (v1.17)");
  EXPECT_EQ(lines[2], "-c (--case_sensitive)\tdefault is not case sensitive");
  EXPECT_EQ(lines[8], "--unix\tunix newline (\\n instead of \\r\\n)");
  EXPECT_EQ(lines[15], "-k=number (--occurrence)\tonly replace n match (default all)");
  EXPECT_EQ(lines[16],
            "-0[=x01]  (--zero)\tallow hex00 in textfile, replaced with \\x01 at fileread "
            "(default \\x01)");
  EXPECT_EQ(lines[28], "\\\\  = \\");
  EXPECT_EQ(lines[30], "\\q  = \" (also in --regexp) (or \\!)");
  EXPECT_EQ(lines[31], "\\e  = = (equal sign, also in --regexp)");
  EXPECT_EQ(lines[35].rfind("Latest version from: ", 0), 0u);
  EXPECT_EQ(lines[36].rfind("Feedback: ", 0), 0u);
  // Exactly one tab, between option and explanation, on the option lines only.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::size_t tabs = 0;
    for (char c : lines[i]) tabs += c == '\t';
    bool optionLine = (i >= 2 && i <= 8) || (i >= 10 && i <= 16);
    EXPECT_EQ(tabs, optionLine ? 1u : 0u) << "line " << i + 1;
  }
}

TEST_F(ScreenTest, BannerAndSyntaxAreShownOnceAndSetTheirFlags) {
  ShowSyntax();
  EXPECT_TRUE(Settings.BannerShown);
  EXPECT_TRUE(Settings.SyntaxShown);
  Settings.SyntaxShown = false;
  ShowBanner();  // already shown: must not touch anything
  EXPECT_FALSE(Settings.SyntaxShown);
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
