// Compile failures: code, message and parse position, first error from the left.
#include <gtest/gtest.h>

#include <string>

#include "regex/regexpr.h"

namespace {

struct CompileFailure {
  std::string expression;
  int code;
  int position;
};

class CompileFailureTest : public ::testing::TestWithParam<CompileFailure> {};

TEST_P(CompileFailureTest, FailsAtTheFirstSearchWithCodeAndPosition) {
  const CompileFailure& expected = GetParam();
  TRegExpr regex;
  regex.SetExpression(expected.expression);  // not examined yet
  try {
    regex.Exec("some input");
    FAIL() << "no failure for " << expected.expression;
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.FailureCode, expected.code) << expected.expression;
    EXPECT_EQ(failure.FailurePosition, expected.position) << expected.expression;
    const std::string suffix = " (pos " + std::to_string(expected.position) + ")";
    EXPECT_EQ(failure.Message(), regex.ErrorText(expected.code) + suffix);
    EXPECT_STREQ(failure.ClassName(), "ERegExpr");
  }
}

std::string FifteenGroups() {
  std::string expression;
  for (int i = 0; i < 15; ++i) expression += "(a)";
  return expression;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, CompileFailureTest,
    ::testing::Values(
        // The positions the failure texts are known by.
        CompileFailure{"*a", 115, 1}, CompileFailure{"a**", 107, 2}, CompileFailure{"abc)", 104, 3},
        CompileFailure{"(?:a)", 127, 4}, CompileFailure{"(a*)*", 106, 4},
        CompileFailure{"[abc", 113, 4}, CompileFailure{"(abc", 103, 4},
        CompileFailure{"a{3,2}", 124, 5},
        // Group counts and nesting.
        CompileFailure{FifteenGroups(), 102, 43}, CompileFailure{"((a)", 103, 4},
        CompileFailure{"a)(", 104, 1}, CompileFailure{")", 104, 0},
        // Operands that consume nothing.
        CompileFailure{"^*", 106, 1}, CompileFailure{"$+", 106, 1}, CompileFailure{"(a|)+", 106, 4},
        CompileFailure{"(?i)*", 106, 4}, CompileFailure{"^{3}", 106, 1},
        CompileFailure{"^{x}", 106, 1}, CompileFailure{"\\b*", 106, 2},
        CompileFailure{"()*", 106, 2}, CompileFailure{"(a?)+", 106, 4},
        CompileFailure{"(a*|b)*", 106, 6}, CompileFailure{"(?#c)+", 106, 5},
        CompileFailure{"(x{0})*", 106, 6}, CompileFailure{"(?x)a *", 106, 6},
        // Quantifier after quantifier, and where an atom should begin.
        CompileFailure{"a+*", 107, 2}, CompileFailure{"a{2}{3}", 107, 4},
        CompileFailure{"a?+", 107, 2}, CompileFailure{"a*?*", 107, 3},
        CompileFailure{"a*{x}", 107, 2}, CompileFailure{"+", 115, 1}, CompileFailure{"a|?", 115, 3},
        CompileFailure{"(*)", 115, 2},
        // Hexadecimal codes.
        CompileFailure{"\\xG1", 108, 2}, CompileFailure{"\\x4G", 108, 3},
        CompileFailure{"\\x{4G}", 108, 4}, CompileFailure{"\\x4", 111, 3},
        CompileFailure{"\\x", 111, 2}, CompileFailure{"\\x{41", 111, 5},
        CompileFailure{"\\x{100}", 112, 5}, CompileFailure{"[\\x{1FF}]", 112, 6},
        // Classes.
        CompileFailure{"[z-a]", 109, 4}, CompileFailure{"[\\x42-\\x41]", 109, 10},
        CompileFailure{"[a\\", 110, 3}, CompileFailure{"[]", 113, 2}, CompileFailure{"[^]", 113, 3},
        CompileFailure{"x[a-", 113, 4},
        // Backslash at the end, braces, comments and modifiers.
        CompileFailure{"ab\\", 116, 3}, CompileFailure{"a{123456789}", 122, 11},
        CompileFailure{"a{1,123456789}", 122, 13}, CompileFailure{"a{5,4}", 124, 5},
        CompileFailure{"(?#open", 125, 7}, CompileFailure{"(?i", 127, 3},
        CompileFailure{"(?", 127, 2}, CompileFailure{"(?ik)", 127, 4},
        // The first error from the left wins; an unclosed group is met at the end.
        CompileFailure{"(a**", 107, 3}, CompileFailure{"(a[", 113, 3},
        CompileFailure{"a)**", 104, 1}));

TEST(CompileFailure, MessageOfTheTableWithPosition) {
  try {
    TRegExpr regex;
    regex.SetExpression("a[bc");
    regex.Exec("x");
    FAIL();
  } catch (const ERegExpr& failure) {
    EXPECT_EQ(failure.Message(), "TRegExpr(comp): Unmatched [] (pos 4)");
  }
}

TEST(CompileFailure, EveryMessageOfTheTable) {
  const std::pair<int, const char*> table[] = {
      {102, "TRegExpr(comp): ParseReg Too Many ()"},
      {103, "TRegExpr(comp): ParseReg Unmatched ()"},
      {104, "TRegExpr(comp): ParseReg Unmatched ()"},
      {106, "TRegExpr(comp): *+ Operand Could Be Empty"},
      {107, "TRegExpr(comp): Nested *?+"},
      {108, "TRegExpr(comp): Bad Hex Digit"},
      {109, "TRegExpr(comp): Invalid [] Range"},
      {110, "TRegExpr(comp): Parse Atom Trailing \\"},
      {111, "TRegExpr(comp): No Hex Code After \\x"},
      {112, "TRegExpr(comp): Hex Code After \\x Is Too Big"},
      {113, "TRegExpr(comp): Unmatched []"},
      {115, "TRegExpr(comp): ?+*{ Follows Nothing"},
      {116, "TRegExpr(comp): Trailing \\"},
      {122, "TRegExpr(comp): BRACES Argument Too Big"},
      {124, "TRegExpr(comp): BRACE Min Param Greater then Max"},
      {125, "TRegExpr(comp): Unclosed (?#Comment)"},
      {127, "TRegExpr(comp): Urecognized Modifier"},
      {1003, "TRegExpr(exec): Not Assigned Expression Property"},
      {1005, "TRegExpr(exec): No Input String Specified"},
      {1007, "TRegExpr(exec): ExecNext Without Exec[Pos]"},
      {1014, "TRegExpr(exec): Loop Stack Exceeded"},
  };
  TRegExpr regex;
  for (const auto& [code, text] : table) EXPECT_EQ(regex.ErrorText(code), text) << code;
}

TEST(CompileFailure, OneShotOperationsFailAtEveryUseWithTheSameMessage) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    try {
      RegexReplace("ab(c", "abc", "x", ReplacementKind::Template);
      FAIL();
    } catch (const ERegExpr& failure) {
      EXPECT_EQ(failure.Message(), "TRegExpr(comp): ParseReg Unmatched () (pos 4)");
      EXPECT_EQ(failure.FailureCode, 103);
    }
    EXPECT_THROW(RegexMatches("ab(c", "abc"), ERegExpr);
  }
}

TEST(CompileFailure, ACompileFailureLeavesNoCompiledFormBehind) {
  TRegExpr regex;
  regex.SetExpression("a{2,1}");
  EXPECT_THROW(regex.Exec("aa"), ERegExpr);
  EXPECT_THROW(regex.Exec("aa"), ERegExpr);
  EXPECT_EQ(regex.GroupStart(0), -1);
  regex.SetExpression("a{1,2}");
  EXPECT_TRUE(regex.Exec("aa"));
}

TEST(CompileFailure, ExpressionIsCutAtItsFirstNul) {
  // Everything after the NUL, the unclosed group included, is not looked at.
  TRegExpr regex;
  regex.SetExpression(std::string("ab\0(", 4));
  EXPECT_EQ(regex.Expression(), "ab");
  EXPECT_TRUE(regex.Exec("xab"));
  EXPECT_EQ(regex.GroupStart(0), 2);
  EXPECT_EQ(RegexReplace(std::string("b\0(", 3), "abc", "-", ReplacementKind::Template), "a-c");
}

struct ValidText {
  std::string expression;
  std::string input;
  std::string matched;
};

class ValidTextTest : public ::testing::TestWithParam<ValidText> {};

// Texts close to the failures above that must compile and mean themselves.
TEST_P(ValidTextTest, CompilesAndMatches) {
  const ValidText& c = GetParam();
  TRegExpr regex;
  regex.SetExpression(c.expression);
  ASSERT_TRUE(regex.Exec(c.input)) << c.expression;
  EXPECT_EQ(c.input.substr(regex.GroupStart(0) - 1, regex.GroupLength(0)), c.matched)
      << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    NearMisses, ValidTextTest,
    ::testing::Values(ValidText{"{3}", "x{3}", "{3}"}, ValidText{"a{,3}", "a{,3}", "a{,3}"},
                      ValidText{"a{x}", "a{x}", "a{x}"}, ValidText{"a{3", "a{3", "a{3"},
                      ValidText{"a|{3}", "{3}", "{3}"}, ValidText{"^?a", "ba", "a"},
                      ValidText{"(?#c)?b", "b", "b"}, ValidText{"(a{0,2})*b", "aab", "aab"},
                      ValidText{"(a+)*b", "aab", "aab"}, ValidText{"a{0,12345678}", "b", ""},
                      ValidText{"x{0,}", "xxx", "xxx"}, ValidText{"]}", "]}", "]}"},
                      ValidText{"(?)a", "a", "a"}, ValidText{"(?-)a", "a", "a"},
                      ValidText{"(?I-S)a.", "Ab", "Ab"}, ValidText{"a|", "b", ""},
                      ValidText{"|", "b", ""}, ValidText{"()", "b", ""},
                      ValidText{"\\x{}?b", "b", "b"}, ValidText{"\\x{0000041}", "A", "A"},
                      ValidText{"a{00000001}", "a", "a"}));

}  // namespace
