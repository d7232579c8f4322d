// Which library runs an expression, the counters and limits around each, and
// the line-break view that lets RE2 run "^" and "$" under m.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "regex/compiled_expression.h"
#include "regex/line_break_view.h"
#include "regex/literal_engine.h"
#include "regex/regexpr.h"
#include "regex_test_support.h"

namespace {

using platform::CodePage;
using regex_engine::CompiledExpression;
using regex_engine::EngineKind;
using regex_engine::EnginePolicy;
using regex_test::FirstMatch;
using regex_test::PolicyScope;
using regex_test::Replaced;

struct ChoiceCase {
  std::string expression;
  EngineKind automatic;  // under the program's policy
  EngineKind linearWherePossible;
};

class EngineChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

EngineKind EngineOf(const std::string& expression, EnginePolicy policy) {
  const PolicyScope scope(policy);
  return CompiledExpression(expression, CodePage::Windows1252).Engine();
}

TEST_P(EngineChoiceTest, FollowsTheTree) {
  const ChoiceCase& c = GetParam();
  EXPECT_EQ(EngineOf(c.expression, EnginePolicy::Automatic), c.automatic) << c.expression;
  EXPECT_EQ(EngineOf(c.expression, EnginePolicy::LinearWherePossible), c.linearWherePossible)
      << c.expression;
  EXPECT_EQ(EngineOf(c.expression, EnginePolicy::BacktrackingOnly), EngineKind::Backtracking);
}

constexpr EngineKind kLinear = EngineKind::Linear;
constexpr EngineKind kBacktracking = EngineKind::Backtracking;
constexpr EngineKind kLiteral = EngineKind::Literal;

INSTANTIATE_TEST_SUITE_P(
    Expressions, EngineChoiceTest,
    ::testing::Values(
        // Repetitions run in linear time.
        ChoiceCase{"(\\w|\\s)*zzz", kLinear, kLinear}, ChoiceCase{"(a|b)*c", kLinear, kLinear},
        ChoiceCase{"(a|a)*b", kLinear, kLinear}, ChoiceCase{"a+?b{2,5}", kLinear, kLinear},
        ChoiceCase{"(?m)^\\s*$", kLinear, kLinear}, ChoiceCase{"(a{0,1}b)*", kLinear, kLinear},
        // A short list of plain words, alone or in groups: the vector scan.
        ChoiceCase{"cat|dog|bird", kLiteral, kLinear},
        ChoiceCase{"(cat|dog)|(?#x)bird", kLiteral, kLinear},
        // One word, or short lists of words otherwise: bounded work per start,
        // PCRE2 is faster.
        ChoiceCase{"cat", kBacktracking, kLinear}, ChoiceCase{"(cat)", kBacktracking, kLinear},
        ChoiceCase{"c(a)t", kBacktracking, kLinear},
        ChoiceCase{"a|b|c|d|e", kBacktracking, kLinear}, ChoiceCase{"cat|", kBacktracking, kLinear},
        ChoiceCase{"^cat", kBacktracking, kLinear}, ChoiceCase{"(?i)the", kBacktracking, kLinear},
        ChoiceCase{"\\bcat\\b|(d)(o)g", kBacktracking, kLinear},
        // Many ways through the tree even without a quantifier.
        ChoiceCase{"(a|a)(a|a)(a|a)(a|a)(a|a)", kLinear, kLinear},
        // Only backtracking runs these right.
        ChoiceCase{"(a)\\1", kBacktracking, kBacktracking},
        ChoiceCase{"(a)|b\\2", kBacktracking, kBacktracking},
        ChoiceCase{"(a{0,1})+", kBacktracking, kBacktracking},
        ChoiceCase{"(a{0,1}?)*x", kBacktracking, kBacktracking},
        ChoiceCase{"((a){0,1})*", kBacktracking, kBacktracking},
        // Refused by RE2: a count above its limit of 1000.
        ChoiceCase{"a{1001}", kBacktracking, kBacktracking},
        ChoiceCase{"(ab){2,2000}", kBacktracking, kBacktracking}));

TEST(EngineChoice, ElevenRepetitionLevelsStayWithTheLibraryThatFailsTheSearch) {
  // Lazy repetitions of groups open levels.
  std::string ten = "a";
  for (int i = 0; i < 10; ++i) ten = "(" + ten + ")+?";
  EXPECT_EQ(EngineOf(ten, EnginePolicy::LinearWherePossible), kLinear);
  EXPECT_EQ(EngineOf("(" + ten + ")+?", EnginePolicy::LinearWherePossible), kBacktracking);
}

TEST(EngineChoice, CountersTellWhichLibraryCompiledAndSearched) {
  const PolicyScope scope(EnginePolicy::Automatic);
  regex_engine::ResetCounters();
  EXPECT_EQ(RegexReplace("(\\w|\\s)*zzz", "ab zzz cd", "X", ReplacementKind::Template), "X cd");
  EXPECT_EQ(RegexReplace("(a)\\1", "xaay", "-", ReplacementKind::Template), "x-y");
  EXPECT_EQ(RegexReplace("a{2000}", "a", "-", ReplacementKind::Template), "a");
  const regex_engine::EngineCounters& counters = regex_engine::Counters();
  EXPECT_EQ(counters.linearCompiles, 1u);
  EXPECT_EQ(counters.backtrackingCompiles, 2u);
  EXPECT_EQ(counters.linearRefusals, 1u);
  EXPECT_EQ(counters.interpreterFallbacks, 0u);  // JIT is there on both builds
  EXPECT_EQ(counters.linearSearches, 2u);        // the match, then none after it
  EXPECT_EQ(counters.backtrackingSearches, 3u);
}

// Pathological expressions that backtracking takes exponential or quadratic time
// for: on RE2 each is one pass (a slow run would show as a time-out of the suite,
// not as a figure; the figures are in bench/README.md).
TEST(EngineChoice, CatastrophicExpressionsWithoutBackreferencesFinish) {
  const PolicyScope scope(EnginePolicy::Automatic);
  const std::string as(5000, 'a');
  EXPECT_EQ(FirstMatch("(a|a)*b", as + "xb"), "5002,1");
  EXPECT_EQ(FirstMatch("(a|b)*c", std::string(200000, 'a') + "b"), "none");
  EXPECT_EQ(Replaced("(\\w| )*", std::string(1 << 20, 'w'), "X"), "XX");
}

TEST(EngineChoice, BacktrackingLimitEndsACatastrophicSearchWithABackreference) {
  const PolicyScope scope(EnginePolicy::Automatic);
  EXPECT_EQ(FirstMatch("(a|a)*b\\1", std::string(40, 'a') + "xb"), "error 1015");
}

TEST(EngineChoice, LongLinearMatchWithABackreferenceIsNotRefused) {
  const PolicyScope scope(EnginePolicy::Automatic);
  std::string line;
  while (line.size() < (4u << 20)) line += "lorem ipsum dolor ";
  EXPECT_EQ(FirstMatch("(l)\\1?(\\w| )*", line), "1," + std::to_string(line.size()));
}

// The vector scan for plain words against PCRE2: every match of Exec and
// ExecNext with its entries, and the replace loop. It runs on subjects of 4096
// bytes and more (PCRE2 on shorter ones), so the inputs come long as well.
TEST(EngineChoice, WordScanFindsWhatBacktrackingFinds) {
  const char* expressions[] = {"ab|a",   "a|ab",           "(aa)|a",     "b|(a|ab)", "(ab)|(b)",
                               "aba|ab", "(?x)a b|(?#c)b", "\\x41\\.|b", "(?-i)a|b", "a|b|ab|ba"};
  const char* pieces[] = {"", "a", "aaa", "abab", "babaab", "xAB.A.", "ab\nab", "bbbb"};
  std::vector<std::string> inputs;
  for (const char* piece : pieces) {
    inputs.emplace_back(piece);
    std::string text(regex_literal::kMinSubjectLength, '-');
    for (int k = 0; k < 50; ++k) text += piece + std::string(k % 7, '.');
    inputs.push_back(text + piece);
  }
  for (const char* expression : expressions) {
    {
      const PolicyScope scope(EnginePolicy::Automatic);
      ASSERT_EQ(CompiledExpression(expression, CodePage::Windows1252).Engine(), kLiteral)
          << expression;
    }
    for (const std::string& input : inputs) {
      std::string onScan, onBacktracking;
      {
        const PolicyScope scope(EnginePolicy::Automatic);
        regex_engine::ResetCounters();
        onScan = regex_test::AllMatches(expression, input) + Replaced(expression, input, "<$0$1>");
        const bool long_enough = input.size() >= regex_literal::kMinSubjectLength;
        EXPECT_EQ(regex_engine::Counters().literalSearches > 0, long_enough) << expression;
      }
      {
        const PolicyScope scope(EnginePolicy::BacktrackingOnly);
        onBacktracking =
            regex_test::AllMatches(expression, input) + Replaced(expression, input, "<$0$1>");
      }
      EXPECT_EQ(onScan, onBacktracking) << expression << " on " << input.substr(0, 40);
    }
  }
}

// "(a|b)*a(a|b){20}x" needs up to two million automaton states, and random text
// of 250 000 bytes makes about as many: beyond RE2's memory budget. RE2 then
// flushes its automaton or matches with its slower linear matcher, and the
// result is the same as PCRE2's, never a failure.
TEST(EngineChoice, AutomatonOverItsBudgetStillFindsTheMatch) {
  std::mt19937 random(5);
  std::string text;
  for (int k = 0; k < 250000; ++k) text += random() % 2 ? 'a' : 'b';
  text[250000 - 21] = 'a';  // so that backtracking finds it from the first start
  text += "x" + text;
  const std::string expression = "(a|b)*a(a|b){20}x";
  std::string onLinear;
  {
    const PolicyScope scope(EnginePolicy::Automatic);
    ASSERT_EQ(CompiledExpression(expression, CodePage::Windows1252).Engine(), kLinear);
    onLinear = FirstMatch(expression, text) + " " + regex_test::GroupText(expression, text, 2);
  }
  const PolicyScope scope(EnginePolicy::BacktrackingOnly);
  EXPECT_EQ(onLinear,
            FirstMatch(expression, text) + " " + regex_test::GroupText(expression, text, 2));
  EXPECT_EQ(onLinear.substr(0, 9), "1,250001 ");
}

// Subject, then the view's bytes with "L" for LF, "C" for CR and "0" for NUL.
struct ViewCase {
  std::string subject;
  std::string view;
};

std::string Shown(std::string_view bytes) {
  std::string shown;
  for (char c : bytes) shown += c == '\n' ? 'L' : c == '\r' ? 'C' : c == '\0' ? '0' : c;
  return shown;
}

TEST(LineBreakView, WritesEveryBreakAsATokenWithTheLineMarks) {
  const ViewCase cases[] = {
      {"ab", "ab"},
      {"a\r\nb",
       "aLCC0"
       "0C0Lb"},           // line end before the pair, start after it
      {"a\rb", "aLCCLb"},  // a lone CR ends and starts a line
      {"a\nb", "aLC0Lb"},
      {"\n\r",
       "LC0L"
       "LCCL"},  // LF then CR is two breaks
      {"\r\n\r\n",
       "LCC0"
       "0C0L"
       "LCC0"
       "0C0L"},
      {"x\r", "xLCCL"},
  };
  for (const ViewCase& c : cases) {
    const regex_lines::LineBreakView view(c.subject);
    EXPECT_EQ(Shown(view.Text()), c.view) << Shown(c.subject);
  }
}

TEST(LineBreakView, MapsOffsetsBothWaysAndFindsTokenEdges) {
  const regex_lines::LineBreakView view("ab\r\ncd\ne");
  //                                      subject 0 1 2 3 4 5 6 7 ; view: ab [4] [4] cd [4] e
  const std::size_t toView[] = {0, 1, 2, 6, 10, 11, 12, 16, 17};
  for (std::size_t p = 0; p < std::size(toView); ++p) {
    EXPECT_EQ(view.ToView(p), toView[p]) << p;
    EXPECT_EQ(view.ToSubject(toView[p]), p) << p;
  }
  EXPECT_EQ(view.NextEdge(2), 2u);
  EXPECT_EQ(view.NextEdge(3), 6u);
  EXPECT_EQ(view.NextEdge(5), 6u);
  EXPECT_EQ(view.NextEdge(7), 10u);
  EXPECT_EQ(view.NextEdge(17), 17u);
}

// Line anchors on RE2 through the view, against PCRE2's look-arounds, on every
// arrangement of breaks; the differential test covers them at random too.
TEST(LineBreakView, LineAnchorsMatchWhereBacktrackingFindsThem) {
  const char* expressions[] = {"(?m)^",         "(?m)$",      "(?m)^$",        "(?m)$\\r",
                               "(?m)\\n^",      "(?m)^\\s*$", "(?m)^.",        "(?m)(?-s).$",
                               "(?m)[\\r\\n]$", "(?m)\\r^",   "(?m)\\b$|^\\B", "(?m)^(a|\\r)*$",
                               "(?m)^\\xe9",    "(?m)^[^a]"};
  const char* inputs[] = {"",           "\r",       "\n",           "\r\n",          "\n\r",
                          "a\r\nb",     "a\rb",     "a\nb\r",       "\r\r\n\n",      "ab\r\n\r\n",
                          "\xe9\r\xe9", "a \r\n b", "\r\n\xe9\n\r", "a\r\r\nb\n\r\n"};
  for (const char* expression : expressions) {
    for (const char* input : inputs) {
      std::string onLinear, onBacktracking;
      {
        const PolicyScope scope(EnginePolicy::LinearWherePossible);
        ASSERT_EQ(CompiledExpression(expression, CodePage::Windows1252).Engine(), kLinear);
        onLinear = Replaced(expression, input, "<$0>");
      }
      {
        const PolicyScope scope(EnginePolicy::BacktrackingOnly);
        onBacktracking = Replaced(expression, input, "<$0>");
      }
      EXPECT_EQ(Shown(onLinear), Shown(onBacktracking)) << expression << " on " << Shown(input);
    }
  }
}

}  // namespace
