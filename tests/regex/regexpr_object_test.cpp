// The expression object: searches, stepping, match table, templates and the
// failures of its operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regexpr.h"

namespace {

std::vector<std::pair<std::int64_t, std::int64_t>> AllMatches(TRegExpr& regex,
                                                              std::string_view input) {
  std::vector<std::pair<std::int64_t, std::int64_t>> found;
  if (!regex.Exec(input)) return found;
  do {
    found.emplace_back(regex.GroupStart(0), regex.GroupLength(0));
  } while (regex.ExecNext());
  return found;
}

int FailureCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.FailurePosition, 0);
    return failure.FailureCode;
  }
  return 0;
}

using Spans = std::vector<std::pair<std::int64_t, std::int64_t>>;

TEST(ExecNext, StepsOverEmptyMatchesByOneAndAllowsOneRightAfterAMatch) {
  TRegExpr regex;
  regex.SetExpression("x*");
  EXPECT_EQ(AllMatches(regex, "axb"), (Spans{{1, 0}, {2, 1}, {3, 0}, {4, 0}}));
  regex.SetExpression("a|");
  EXPECT_EQ(AllMatches(regex, "ab"), (Spans{{1, 1}, {2, 0}, {3, 0}}));
}

TEST(ExecNext, StartOfInputAnchorNeverMatchesAtALaterStart) {
  TRegExpr regex;
  regex.SetExpression("^a");
  EXPECT_EQ(AllMatches(regex, "aaa"), (Spans{{1, 1}}));
  regex.SetExpression("\\Aa|b");
  EXPECT_EQ(AllMatches(regex, "aab"), (Spans{{1, 1}, {3, 1}}));
  regex.SetExpression("(?m)^a");
  EXPECT_EQ(AllMatches(regex, "aa\na"), (Spans{{1, 1}, {4, 1}}));
}

TEST(ExecNext, WordBoundaryLooksAtTheByteBeforeALaterStart) {
  TRegExpr regex;
  regex.SetExpression("\\bb");
  EXPECT_EQ(AllMatches(regex, "abb b"), (Spans{{5, 1}}));
}

TEST(ExecNext, FailsWithoutAPreviousMatch) {
  TRegExpr regex;
  EXPECT_EQ(FailureCodeOf([&] { regex.ExecNext(); }), 1007);
  regex.SetExpression("z");
  EXPECT_FALSE(regex.Exec("abc"));
  EXPECT_EQ(FailureCodeOf([&] { regex.ExecNext(); }), 1007);
  regex.SetExpression("a");
  EXPECT_TRUE(regex.Exec("a"));
  EXPECT_FALSE(regex.ExecNext());
  try {
    regex.ExecNext();
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "TRegExpr(exec): ExecNext Without Exec[Pos]");
  }
}

TEST(Exec, EmptyExpressionFailsAtEverySearchWithoutPosition) {
  TRegExpr regex;
  EXPECT_EQ(FailureCodeOf([&] { regex.Exec("abc"); }), 1003);
  regex.SetExpression(std::string("\0abc", 4));  // nothing before the NUL
  EXPECT_EQ(regex.Expression(), "");
  try {
    regex.Exec("abc");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "TRegExpr(exec): Not Assigned Expression Property");
  }
  EXPECT_EQ(FailureCodeOf([] { RegexReplace("", "abc", "x", ReplacementKind::Template); }), 1003);
  EXPECT_EQ(FailureCodeOf([] { RegexMatches("", "abc"); }), 1003);
  std::string output;
  EXPECT_EQ(
      FailureCodeOf([&] { RegexReplaceInto(output, "", "abc", "x", ReplacementKind::Template); }),
      1003);
}

TEST(Exec, SeesTheInputOnlyUpToItsFirstNul) {
  TRegExpr regex;
  regex.SetExpression("b");
  EXPECT_FALSE(regex.Exec(std::string("a\0b", 3)));
  regex.SetExpression("a$");
  EXPECT_TRUE(regex.Exec(std::string("a\0b", 3)));
  EXPECT_FALSE(RegexMatches("b", std::string("a\0b", 3)));
  EXPECT_TRUE(RegexMatches("^$", std::string("\0b", 2)));
}

TEST(MatchTable, EntriesOutsideTheRangeOrUnsetAreMinusOne) {
  TRegExpr regex;
  EXPECT_EQ(regex.GroupStart(0), -1);  // no input given yet
  regex.SetExpression("(a)(x)?(b)");
  ASSERT_TRUE(regex.Exec("zab"));
  EXPECT_EQ(regex.GroupStart(0), 2);
  EXPECT_EQ(regex.GroupLength(0), 2);
  EXPECT_EQ(regex.GroupStart(1), 2);
  EXPECT_EQ(regex.GroupStart(2), -1);
  EXPECT_EQ(regex.GroupLength(2), -1);
  EXPECT_EQ(regex.GroupStart(3), 3);
  EXPECT_EQ(regex.GroupStart(4), -1);
  EXPECT_EQ(regex.GroupStart(14), -1);
  EXPECT_EQ(regex.GroupStart(15), -1);
  EXPECT_EQ(regex.GroupStart(-1), -1);
  EXPECT_EQ(regex.GroupLength(15), -1);
  EXPECT_FALSE(regex.Exec("zzz"));
  EXPECT_EQ(regex.GroupStart(0), -1);
  EXPECT_EQ(regex.GroupStart(1), -1);
}

TEST(ExpandTemplate, UsesTheCurrentMatch) {
  TRegExpr regex;
  regex.SetExpression("(\\d+)-(\\d+)");
  ASSERT_TRUE(regex.Exec("x 12-345 y"));
  EXPECT_EQ(regex.ExpandTemplate("$2/$1 [$0]"), "345/12 [12-345]");
  EXPECT_EQ(regex.ExpandTemplate(""), "");
}

TEST(ExpandTemplate, NeedsAnExpressionAndThenAnInput) {
  TRegExpr regex;
  EXPECT_EQ(FailureCodeOf([&] { regex.ExpandTemplate("$1"); }), 1003);
  regex.SetExpression("(a)");
  try {
    regex.ExpandTemplate("$1");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.FailureCode, 1005);
    EXPECT_EQ(failure.Message(), "TRegExpr(exec): No Input String Specified");
  }
  TRegExpr faulty;
  faulty.SetExpression("(a");
  try {
    faulty.ExpandTemplate("$1");  // the compile error comes before the missing input
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.FailureCode, 103);
    EXPECT_EQ(failure.FailurePosition, 2);
  }
}

TEST(ExpandTemplate, AfterASearchWithoutMatchReferencesGiveNothing) {
  TRegExpr regex;
  regex.SetExpression("(a)");
  EXPECT_FALSE(regex.Exec("b"));
  EXPECT_EQ(regex.ExpandTemplate("<$1$0>"), "<>");
}

// A subclass with its own texts: every failure goes through RaiseError and ErrorText.
class LabelledRegExpr : public TRegExpr {
 public:
  std::string ErrorText(std::int32_t code) const override {
    return "failure " + std::to_string(code);
  }
};

TEST(Failures, GoThroughTheOverridableErrorText) {
  LabelledRegExpr regex;
  regex.SetExpression("a{3,2}");
  try {
    regex.Exec("a");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "failure 124 (pos 5)");
  }
  try {
    regex.ExecNext();
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "failure 1007");
  }
}

TEST(Failures, SettingAnExpressionIsNeverWhereItFails) {
  TRegExpr regex;
  EXPECT_NO_THROW(regex.SetExpression("(((("));
  EXPECT_NO_THROW(regex.SetExpression("a"));
  EXPECT_TRUE(regex.Exec("a"));
}

TEST(Cache, ObjectsAndOneShotsAgreeWhateverWasCompiledBefore) {
  // The same text compiled for two code pages is two different expressions.
  TRegExpr western(platform::CodePage::Windows1252);
  TRegExpr ascii(platform::CodePage::AsciiOnly);
  western.SetExpression("(?i)\xe9");
  ascii.SetExpression("(?i)\xe9");
  EXPECT_TRUE(western.Exec("\xc9"));
  EXPECT_FALSE(ascii.Exec("\xc9"));
  // Many distinct expressions: older ones are compiled again when needed.
  for (int i = 0; i < 600; ++i) {
    const std::string expression = "a{" + std::to_string(i) + "}";
    EXPECT_TRUE(RegexMatches(expression, std::string(i, 'a'))) << i;
    EXPECT_FALSE(RegexMatches("^" + expression + "$", std::string(i + 1, 'a'))) << i;
  }
  EXPECT_TRUE(western.Exec("\xe9"));
}

TEST(Library, LimitsOfTheMatcherAreReportedNotTakenAsNoMatch) {
  // Too big for the library's compiled form: a failure, not a silent miss.
  TRegExpr regex;
  regex.SetExpression("(abc){65535}");
  try {
    regex.Exec("abc");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.FailureCode, 1016);
    EXPECT_EQ(failure.Message(), "TRegExpr(comp): Expression Too Big");
  }
}

TEST(StartUp, UsesTheCodePageInUse) {
  RegExprStartUp();
  TRegExpr regex;
  regex.SetExpression("(?i)\xe9");
  const bool folds = platform::UpperCaseByte(RegExprCodePage(), 0xE9) == 0xC9;
  EXPECT_EQ(regex.Exec("\xc9"), folds);
  EXPECT_EQ(RegexMatches("(?i)\xe9", "\xc9"), folds);
}

}  // namespace
