// Caseless expressions in a UTF-8 locale: letters beyond ASCII written in the
// expression match their case forms, on both libraries; classes, repeated bytes
// and the other code pages keep the byte meaning.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "regex/regexpr.h"
#include "regex_test_support.h"

namespace {

using platform::CodePage;
using regex_engine::EnginePolicy;
using regex_test::AllMatches;
using regex_test::FirstMatch;
using regex_test::GroupText;
using regex_test::PolicyScope;
using regex_test::Replaced;

struct Utf8Case {
  std::string expression;
  std::string input;
  std::string expected;  // "start,length", or "none"
};

// clang-format off
const std::vector<Utf8Case> kCases = {
    {"(?i)\xC3\xA9", "x\xC3\x89", "2,2"},                        // e acute, two bytes
    {"(?i)m\xC3\xBCller", "HERR M\xC3\x9CLLER", "6,7"},
    {"(?i)\xCF\x83+", "\xCE\xA3", "none"},                       // a repeated byte: byte meaning
    {"(?i)x\xCF\x83y", "X\xCF\x82Y", "1,4"},                     // final sigma
    {"(?i)\xD0\xB6", "\xD0\x96", "1,2"},                         // Cyrillic
    {"(?i)\xE1\xBA\x9E", "a\xC3\x9F", "2,2"},                    // capital sharp s, 3 bytes to 2
    {"(?i)\xC3\x9F", "\xE1\xBA\x9E", "1,3"},
    {"(?i)\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", "1,4"},         // Deseret, four bytes
    {"(?i)\xC5\xBF", "S", "1,1"},                                // long s folds with s
    {"(?i)k", "\xE2\x84\xAA", "none"},                           // ASCII letters as before
    {"\xC3\xA9", "\xC3\x89", "none"},                            // not caseless
    {"(?i)(?-i)\xC3\xA9", "\xC3\x89", "none"},
    {"(?i)[\xC3\xA9]", "\xC3\x89", "1,1"},                       // a class is bytes
    {"(?i)[\xC3\xA9]", "x\x89", "none"},
    {"(?i)[\xC3\xA9][\xC3\xA9]", "\xC3\x89", "none"},
    {"(?i)\xC3\xA9|z", "z\xC3\x89", "1,1"},
    {"(?i)(\xC3\xA9)\xC3\xA9", "\xC3\x89\xC3\xA9", "1,4"},
    {"(?i)\xC3", "\xC3\x89", "1,1"},                             // a lone lead byte: itself
    {"(?i)\xC3\xA9\xFF", "\xC3\x89\xFF", "1,3"},                 // an invalid byte beside
    {"(?i)\xC3\xA9\xFF", "\xC3\x89\xFE", "none"},
    {"(?im)^\xC3\xA9$", "a\r\n\xC3\x89\r\n", "4,2"},             // line anchors
    {"(?i)\xC3\xA4\\s\xC3\xB6", "\xC3\x84\n\xC3\x96", "1,5"},    // across a line end
    {"(?i)\xE2\x82\xAC", "\xE2\x82\xAC", "1,3"},                 // no case: itself
};
// clang-format on

TEST(Utf8CaselessTest, LettersMatchTheirCaseFormsOnEveryEngine) {
  for (const EnginePolicy policy : {EnginePolicy::Automatic, EnginePolicy::LinearWherePossible,
                                    EnginePolicy::BacktrackingOnly}) {
    const PolicyScope scope(policy);
    for (const Utf8Case& c : kCases) {
      EXPECT_EQ(FirstMatch(c.expression, c.input, CodePage::Utf8), c.expected)
          << testing::PrintToString(c.expression) << " on " << testing::PrintToString(c.input)
          << " policy " << static_cast<int>(policy);
    }
  }
}

TEST(Utf8CaselessTest, OtherCodePagesKeepTheByteMeaning) {
  for (const CodePage codePage : {CodePage::AsciiOnly, CodePage::Windows1252}) {
    EXPECT_EQ(FirstMatch("(?i)m\xC3\xBCller", "M\xC3\x9CLLER", codePage), "none");
    EXPECT_EQ(FirstMatch("(?i)\xCF\x83", "\xCF\x82", codePage), "none");
  }
  // In Windows-1252 the bytes themselves are letters.
  EXPECT_EQ(FirstMatch("(?i)\xE9", "\xC9", CodePage::Windows1252), "1,1");
  EXPECT_EQ(FirstMatch("(?i)\xE9", "\xC9", CodePage::Utf8), "none");
}

TEST(Utf8CaselessTest, GroupsAndReplacementsKeepTheirNumbers) {
  EXPECT_EQ(GroupText("(?i)(\xC3\xBC)(x)", "\xC3\x9CX", 1, CodePage::Utf8), "\xC3\x9C");
  EXPECT_EQ(GroupText("(?i)(\xC3\xBC)(x)", "\xC3\x9CX", 2, CodePage::Utf8), "X");
  EXPECT_EQ(Replaced("(?i)\xC3\xA4(.)", "\xC3\x84z \xC3\xA4y", "<$1>", CodePage::Utf8), "<z> <y>");
  EXPECT_EQ(Replaced("(?i)\xC3\xA4", "\xC3\x84z \xC3\xA4y", "_", CodePage::AsciiOnly),
            "\xC3\x84z _y");
}

std::string RandomJoined(std::mt19937& rng, const std::vector<std::string>& pieces,
                         std::size_t most) {
  std::uniform_int_distribution<std::size_t> count(1, most);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
  return text;
}

// Both libraries run the same lowered tree: every match and group of random
// caseless expressions made of letters, classes, repetitions and groups agree.
TEST(Utf8CaselessTest, BothLibrariesAgreeOnRandomExpressions) {
  const std::vector<std::string> expressionPieces = {
      "\xC3\xA9",   "\xC3\x89",  "\xC3\x9F",   "\xE1\xBA\x9E", "\xC5\xBF", "s", "k",
      "[\xC3\xA9]", "\xC3\xA9+", "(\xC3\xBC)", "(\xCF\x83|x)", "|",        ".", "\xC3"};
  const std::vector<std::string> subjectPieces = {
      "\xC3\xA9",     "\xC3\x89", "\xC3\x9F", "\xE1\xBA\x9E", "\xC5\xBF", "S",    "s",
      "\xE2\x84\xAA", "\xC3\x9C", "\xCF\x82", "\xCE\xA3",     "\xFF",     "\r\n", "x"};
  std::mt19937 rng(65001);
  for (int round = 0; round < 1500; ++round) {
    const std::string expression = "(?i)" + RandomJoined(rng, expressionPieces, 4);
    const std::string subject = RandomJoined(rng, subjectPieces, 8);
    std::string linear;
    {
      const PolicyScope scope(EnginePolicy::LinearWherePossible);
      linear = AllMatches(expression, subject, CodePage::Utf8);
    }
    const PolicyScope scope(EnginePolicy::BacktrackingOnly);
    ASSERT_EQ(AllMatches(expression, subject, CodePage::Utf8), linear)
        << testing::PrintToString(expression) << " on " << testing::PrintToString(subject);
  }
}

}  // namespace
