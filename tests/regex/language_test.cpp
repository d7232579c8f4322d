// The expression language: what matches where, and every match replaced.
#include <gtest/gtest.h>

#include <string>

#include "regex/regexpr.h"
#include "regex_test_support.h"

namespace {

using platform::CodePage;
using regex_test::FirstMatch;
using regex_test::GroupText;
using regex_test::Replaced;

struct MatchCase {
  std::string expression;
  std::string input;
  std::string expected;  // "start,length", or "none"
};

class FirstMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FirstMatchTest, FindsTheFirstMatch) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(FirstMatch(c.expression, c.input), c.expected)
      << "expression " << c.expression << " on " << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    AlternationAndQuantifiers, FirstMatchTest,
    ::testing::Values(MatchCase{"a|ab", "ab", "1,1"}, MatchCase{"ab|a", "ab", "1,2"},
                      MatchCase{"a.*?b", "aXbYb", "1,3"}, MatchCase{"a.*b", "aXbYb", "1,5"},
                      MatchCase{"abc*", "abccc", "1,5"}, MatchCase{"abc+", "ababc", "3,3"},
                      MatchCase{"x*", "axb", "1,0"}, MatchCase{"a{2}", "aaa", "1,2"},
                      MatchCase{"a{2,}", "aaaa", "1,4"}, MatchCase{"a{2,3}", "aaaa", "1,3"},
                      MatchCase{"a{2,3}?", "aaaa", "1,2"}, MatchCase{"a??b", "ab", "1,2"},
                      MatchCase{"a+?", "aaa", "1,1"}, MatchCase{"(?-g)a+", "aaa", "1,1"},
                      MatchCase{"(?-g)a+?", "aaa", "1,1"}, MatchCase{"(?-g)a{1,3}b", "aab", "1,3"},
                      MatchCase{"a{0,2}a", "aaa", "1,3"}, MatchCase{"(a|b)*c", "abbac", "1,5"},
                      MatchCase{"x", "", "none"}, MatchCase{"x*", "", "1,0"},
                      MatchCase{"a{70000}", std::string(70001, 'a'), "1,70000"},
                      MatchCase{"a{70000,}", std::string(69999, 'a'), "none"},
                      MatchCase{"ba{0,70000}", "b" + std::string(80000, 'a'), "1,70001"},
                      MatchCase{"ba{1,70000}?", "baaa", "1,2"}));

INSTANTIATE_TEST_SUITE_P(
    LiteralsAndEscapes, FirstMatchTest,
    ::testing::Values(MatchCase{"\\.", "a.b", "2,1"}, MatchCase{"\\\\", "a\\b", "2,1"},
                      MatchCase{"\\0", "x0", "2,1"},
                      MatchCase{"\\t\\n\\r\\f\\a\\e", "-\t\n\r\f\a\x1b", "2,6"},
                      MatchCase{"\\x41\\x{0042}", "zAB", "2,2"}, MatchCase{"\\x{41}", "A", "1,1"},
                      MatchCase{"\\xfF", "a\xff", "2,1"}, MatchCase{"\\q", "q", "1,1"},
                      MatchCase{"\\d+", "ab123c", "3,3"}, MatchCase{"\\D", "12a", "3,1"},
                      MatchCase{"\\w+", "..a_9Z..", "3,4"}, MatchCase{"\\w", "\xe9", "none"},
                      MatchCase{"\\W", "a\xe9", "2,1"}, MatchCase{"\\s+", "a \t\n\r\fb", "2,5"},
                      MatchCase{"\\s", "\v", "none"}, MatchCase{"\\S", " \vx", "2,1"},
                      MatchCase{"a\\b", "ab a", "4,1"}, MatchCase{"\\bb", "ab b", "4,1"},
                      MatchCase{"\\Ba", "a ba", "4,1"}, MatchCase{"\\b", "", "none"},
                      MatchCase{"\\b", "\xe9x", "2,0"}, MatchCase{"a\\10", "aa10", "none"},
                      MatchCase{"(a)\\10", "aa0", "1,3"}, MatchCase{"(a)\\2", "aa", "none"},
                      MatchCase{"(a)|\\1b", "b", "none"}, MatchCase{"(a*)b\\1", "aabaa", "1,5"},
                      MatchCase{"]", "a]", "2,1"}, MatchCase{"}", "}", "1,1"}));

INSTANTIATE_TEST_SUITE_P(
    Classes, FirstMatchTest,
    ::testing::Values(
        MatchCase{"[]a]", "x]", "2,1"}, MatchCase{"[]a]", "xa", "2,1"},
        MatchCase{"[^]a]", "]ab", "3,1"}, MatchCase{"[a-]", "x-", "2,1"},
        MatchCase{"[-a]", "x-", "2,1"}, MatchCase{"[a-c-e]+", "bd-ec", "1,1"},
        MatchCase{"[a-c-e]+", "x-ec", "2,3"}, MatchCase{"[\\d-z]+", "a1-zy", "2,3"},
        MatchCase{"[\\D]", "1D", "2,1"}, MatchCase{"[\\S\\W]+", "aSW", "2,2"},
        MatchCase{"[\\w]+", "-a_1-", "2,3"}, MatchCase{"[\\s]", "a\tb", "2,1"},
        MatchCase{"[\\x41-\\x43]+", "zABCD", "2,3"}, MatchCase{"[\\t-\\r]+", "a\t\n\v\f\rb", "2,5"},
        MatchCase{"[\\]]", "a]", "2,1"}, MatchCase{"[\\b]", "b", "1,1"},
        MatchCase{"[^a]", "a", "none"}, MatchCase{"[^a]", "", "none"},
        MatchCase{"[^\\n]+", "ab\ncd", "1,2"}, MatchCase{"[.]", "a.", "2,1"},
        MatchCase{"[\\xE0-\\xFF]", "\xb8", "1,1"}, MatchCase{"[\\xC0-\\xDF]", "\xa8", "1,1"},
        MatchCase{"[\\xE0-\\xDF]+", "\xa8\xb8\xc0\xff", "1,4"},
        MatchCase{"(?-r)[\\xE0-\\xFF]", "\xb8", "none"}, MatchCase{"[\\xE0-\\xFE]", "\xb8", "none"},
        MatchCase{"(?-r)[\\xE0-\\xDF]", "a", "error 109"}));

INSTANTIATE_TEST_SUITE_P(
    AnchorsAndLines, FirstMatchTest,
    ::testing::Values(MatchCase{"^", "", "1,0"}, MatchCase{"$", "", "1,0"},
                      MatchCase{"^b", "ab", "none"}, MatchCase{"a$", "ab\r\na", "5,1"},
                      MatchCase{"c$", "abc\r\n", "none"}, MatchCase{"(?m)c$", "abc\r\n", "3,1"},
                      MatchCase{"a..b", "a\r\nb", "1,4"}, MatchCase{"(?-s)a..b", "a\r\nb", "none"},
                      MatchCase{"(?-s)a.b",
                                "a\xff"
                                "b",
                                "1,3"},
                      MatchCase{"a.*", "ab\r\ncd\r\n", "1,8"},
                      MatchCase{"(?-s)a.*", "ab\r\ncd", "1,2"},
                      MatchCase{"(?m)^c", "ab\r\ncd", "5,1"}, MatchCase{"(?m)^c", "ab\rcd", "4,1"},
                      MatchCase{"(?m)^c", "ab\ncd", "4,1"}, MatchCase{"(?m)^\\n", "a\r\n", "none"},
                      MatchCase{"(?m)^\\n", "a\n\n", "3,1"}, MatchCase{"(?m)\\r$", "a\r\n", "none"},
                      MatchCase{"(?m)\\r$", "a\r\r", "2,1"},
                      MatchCase{"(?m)$\\r\\n", "a\r\n", "2,2"},
                      MatchCase{"(?m)^$", "a\r\n\r\nb", "4,0"}, MatchCase{"(?m)^", "a\r\n", "1,0"},
                      MatchCase{"(?m)a^", "a", "none"}, MatchCase{"(?m)\\n^", "a\r\n", "3,1"},
                      MatchCase{"\\Ab", "ab", "none"}, MatchCase{"(?m)a\\Z", "a\nb", "none"},
                      MatchCase{"a\\Z", "ba", "2,1"}, MatchCase{"a\\Z", "a\n", "none"}));

INSTANTIATE_TEST_SUITE_P(
    CaseAndModifierScope, FirstMatchTest,
    ::testing::Values(MatchCase{"abc", "ABC", "none"}, MatchCase{"(?i)abc", "ABC", "1,3"},
                      MatchCase{"(?i)[a-c]", "B", "1,1"}, MatchCase{"(?i)(a)\\1", "aA", "1,2"},
                      MatchCase{"(a)(?i)\\1", "aA", "1,2"}, MatchCase{"(a)\\1", "aA", "none"},
                      MatchCase{"a(?i)b", "aB", "1,2"}, MatchCase{"a(?i)b", "AB", "none"},
                      MatchCase{"(a(?i)b)c", "aBC", "none"}, MatchCase{"(a(?i)b)c", "aBc", "1,3"},
                      MatchCase{"(a(?i)b|c)", "C", "1,1"}, MatchCase{"(?i)a(?-i)b", "Ab", "1,2"},
                      MatchCase{"(?i)a(?-i)b", "AB", "none"}, MatchCase{"(?i)[^a]", "A", "none"},
                      MatchCase{"(?i)[^a]", "b", "1,1"}, MatchCase{"(?i)\\x41", "a", "1,1"},
                      MatchCase{"(?i)1", "1", "1,1"}, MatchCase{"(?i)a+", "aAaB", "1,3"},
                      MatchCase{"(?x)a b # comment\n c", "abc", "1,3"},
                      MatchCase{"(?x)a\\ b", "a b", "1,3"}, MatchCase{"(?x)[ ]", "a b", "2,1"},
                      MatchCase{"(?x)a b?", "a", "1,1"}, MatchCase{"((?x) a) b", "a b", "1,3"},
                      MatchCase{"(?x)a#b", "a#b", "1,1"}, MatchCase{"(?#a comment)b", "ab", "2,1"},
                      MatchCase{"(?is)A.", "a\n", "1,2"}, MatchCase{"(?im-s)^A.", "x\nab", "3,2"}));

TEST(RepetitionLevels, TenNestedLevelsWorkAndAnEleventhFailsTheSearch) {
  std::string ten = "a";
  for (int i = 0; i < 10; ++i) ten = "(" + ten + "){1,2}";
  std::string eleven = "(" + ten + "){1,2}";
  EXPECT_EQ(FirstMatch(ten, "aa"), "1,2");
  EXPECT_EQ(FirstMatch(eleven, "aa"), "error 1014");
  // A level is open only while the search is inside it.
  EXPECT_EQ(FirstMatch("x" + eleven, "aa"), "none");
  // Greedy "*" and "+" of groups open no level; lazy ones do.
  std::string greedy = "a";
  for (int i = 0; i < 11; ++i) greedy = "(" + greedy + ")+";
  EXPECT_EQ(FirstMatch(greedy, "aa"), "1,2");
  std::string lazy = "a";
  for (int i = 0; i < 11; ++i) lazy = "(" + lazy + ")+?";
  EXPECT_EQ(FirstMatch(lazy, "aa"), "error 1014");
  // "." with s off counts as a level of its own.
  std::string dots = "(?-s).{1,2}";
  for (int i = 0; i < 10; ++i) dots = "(" + dots + "){1}";
  EXPECT_EQ(FirstMatch(dots, "aa"), "error 1014");
  EXPECT_EQ(FirstMatch(dots.substr(0, dots.size()), "aa"), "error 1014");
  try {
    RegexMatches(eleven, "a");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "TRegExpr(exec): Loop Stack Exceeded");
    EXPECT_EQ(failure.FailurePosition, 0);
  }
}

TEST(Groups, FourteenGroupsAndTheirEntries) {
  std::string expression;
  std::string input;
  for (int i = 0; i < 14; ++i) {
    expression += "(.)";
    input += static_cast<char>('a' + i);
  }
  EXPECT_EQ(Replaced(expression, input, "$14$1${10}0$10"), "naj0j");
  EXPECT_EQ(GroupText("(a)|(b)", "b", 1), "<unset>");
  EXPECT_EQ(GroupText("(a)|(b)", "b", 2), "b");
  EXPECT_EQ(GroupText("(a|b)+", "ab", 1), "b");
  EXPECT_EQ(GroupText("((a)|b)+", "ab", 2), "a");  // kept from an earlier repetition
  EXPECT_EQ(GroupText("(a)?b", "b", 1), "<unset>");
  EXPECT_EQ(GroupText("()b", "b", 1), "");
}

struct ReplaceCase {
  std::string expression;
  std::string input;
  std::string templ;
  std::string expected;
};

class ReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTest, ReplacesEveryMatchThroughObjectAndOneShot) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(Replaced(c.expression, c.input, c.templ), c.expected) << c.expression;
  EXPECT_EQ(RegexReplace(c.expression, c.input, c.templ, ReplacementKind::Template), c.expected)
      << c.expression;
  std::string reused = "left over from an earlier line";
  RegexReplaceInto(reused, c.expression, c.input, c.templ, ReplacementKind::Template);
  EXPECT_EQ(reused, c.expected) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    LoopAndTemplates, ReplaceTest,
    ::testing::Values(
        ReplaceCase{"x*", "axb", "-", "-a--b-"}, ReplaceCase{"^", "abc", "X", "Xabc"},
        ReplaceCase{"$", "abc", "X", "abcX"}, ReplaceCase{"^", "", "A", "A"},
        ReplaceCase{"x", "abc", "X", "abc"}, ReplaceCase{"a|ab", "ab", "X", "Xb"},
        ReplaceCase{"(?m)^", "a\r\nb\nc\r", "> ", "> a\r\n> b\n> c\r> "},
        ReplaceCase{"(?m)$", "a\r\nb", "<", "a<\r\nb<"},
        ReplaceCase{"\\b", "ab cd", "|", "|ab| |cd|"}, ReplaceCase{"a*?", "aa", "-", "-a-a-"},
        ReplaceCase{"a+|", "baac", "-", "-b--c-"},
        ReplaceCase{"(\\w+) (\\w+)", "ab cd ef", "$2 $1", "cd ab ef"},
        ReplaceCase{"b", "abc", "$0$&${0}${&}${}", "abbbbbc"},
        ReplaceCase{"(a)|b", "ab", "[$1]", "[a][]"}, ReplaceCase{"(a)", "a", "$15|$2|$9", "||"},
        ReplaceCase{"(a)", "a", "${1}0", "a0"}, ReplaceCase{"(a)", "a", "\\$1", "$1"},
        ReplaceCase{"(a)", "a", "\\n\\\\", "n\\"}, ReplaceCase{"(a)", "a", "x\\", "x\\"},
        ReplaceCase{"(a)", "a", "x$", "x$"}, ReplaceCase{"(a)", "a", "${1", "${1"},
        ReplaceCase{"(a)", "a", "$x${x}", "$x${x}"}, ReplaceCase{"(a)", "a", "${1x}", "${1x}"},
        ReplaceCase{"(a)", "a", "$&&", "a&"}, ReplaceCase{"(a)", "a", "$01", "a"},
        ReplaceCase{"(a)", "a", "$99999999999999999999", ""}, ReplaceCase{"(a)", "a", "", ""},
        ReplaceCase{"a", "aaa", "$", "$$$"},
        ReplaceCase{"b", std::string("abc\0b", 5), "X", std::string("aXc\0b", 5)},
        ReplaceCase{"$", std::string("ab\0cd", 5), "X", std::string("abX\0cd", 6)},
        ReplaceCase{"x*", std::string("\0x", 2), "-", std::string("-\0x", 3)},
        ReplaceCase{"c$", "abc\r\n", "X", "abc\r\n"},
        ReplaceCase{"(?m)c$", "abc\r\n", "X", "abX\r\n"},
        ReplaceCase{"\\r\\n", "a\r\nb\r\n", "", "ab"},
        ReplaceCase{"a", "\xff\x61", "\\x41", "\xffx41"}));

TEST(Replace, ReplacementInsertedUnchangedWithoutExpand) {
  TRegExpr regex;
  regex.SetExpression("(b)");
  EXPECT_EQ(regex.ReplaceMatches("abc", "[$1\\n]", ReplacementKind::Literal), "a[$1\\n]c");
  EXPECT_EQ(RegexReplace("(b)", "abc", "[$1\\n]", ReplacementKind::Literal), "a[$1\\n]c");
}

TEST(Replace, IntoTheBufferHoldingTheInput) {
  std::string buffer = "a-b-c";
  RegexReplaceInto(buffer, "-", buffer, "+", ReplacementKind::Template);
  EXPECT_EQ(buffer, "a+b+c");
  std::string templ = "$0$0";
  RegexReplaceInto(templ, "b", "abc", templ, ReplacementKind::Template);
  EXPECT_EQ(templ, "abbc");
}

TEST(CodePages, CaseFollowsTheCodePageOfTheCompile) {
  // e-acute (0xE9) and E-acute (0xC9) are a pair in Windows-1252 only.
  EXPECT_EQ(FirstMatch("(?i)\xe9", "\xc9", CodePage::Windows1252), "1,1");
  EXPECT_EQ(FirstMatch("(?i)\xe9", "\xc9", CodePage::AsciiOnly), "none");
  EXPECT_EQ(FirstMatch("(?i)[\xe0-\xe9]", "\xc5", CodePage::Windows1252), "1,1");
  EXPECT_EQ(FirstMatch("(?i)[\xe0-\xe9]", "\xc5", CodePage::AsciiOnly), "none");
  EXPECT_EQ(FirstMatch("(?i)[^\xe9]", "\xc9", CodePage::Windows1252), "none");
  EXPECT_EQ(FirstMatch("(?i)[^\xe9]", "\xc9", CodePage::AsciiOnly), "1,1");
  EXPECT_EQ(FirstMatch("(?i)(\xff)\\1", "\xff\x9f", CodePage::Windows1252), "1,2");
  EXPECT_EQ(FirstMatch("(?i)(\xff)\\1", "\xff\x9f", CodePage::AsciiOnly), "none");
  EXPECT_EQ(FirstMatch("(?i)\x9a", "\x8a", CodePage::Windows1252), "1,1");
  // Letters without a pair match only themselves.
  EXPECT_EQ(FirstMatch("(?i)\xdf", "\xdf", CodePage::Windows1252), "1,1");
  EXPECT_EQ(FirstMatch("(?i)\xdf", "S", CodePage::Windows1252), "none");
  EXPECT_EQ(FirstMatch("(?i)\xd7", "\xf7", CodePage::Windows1252), "none");
  // ASCII letters have their case in both.
  EXPECT_EQ(FirstMatch("(?i)k", "K", CodePage::AsciiOnly), "1,1");
  // Word characters stay the 63 ASCII ones in every code page.
  EXPECT_EQ(FirstMatch("\\w", "\xe9", CodePage::Windows1252), "none");
  EXPECT_EQ(FirstMatch("\\b", "\xe9", CodePage::Windows1252), "none");
}

}  // namespace
