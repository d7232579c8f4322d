// Generated expressions and inputs over a small alphabet, matched by both
// libraries and by the reference matcher: first match with every entry, and the
// whole replace loop, in both code pages.
//
// Where the libraries would differ, and what the lowering does about it:
// - An unbounded repetition of an operand that can match empty, "(a{0,1})+" on
//   "aa": backtracking ends the loop after an iteration that matched empty and
//   keeps its capture (group 1 empty at 2); RE2 drops that iteration (group 1 is
//   the second "a"), and for a lazy operand, "(a{0,1}?)*", even the match
//   differs. Such trees go to PCRE2.
// - "^" and "$" under m: RE2 knows only LF as a line end and has no look-around;
//   the pattern runs on the line-break view of the subject, where RE2's own
//   anchors fire exactly where the language's do (regex/line_break_view.h).
// - Case: RE2 folds by Unicode, the language by the code page; caseless letters
//   are written as classes from the code page's table, ASCII letters alone in
//   RE2's own caseless stretches, where both agree.
// - RE2 20220601 loses Latin-1 mode on a literal above 0x7f that it factors out
//   of alternatives ("\xe9|\xe9b" matched nothing); such bytes are written as
//   classes of two, with a byte that never occurs where they are tried.
// - Backreferences and the repetition-level limit (a search fails with 1014)
//   exist only in PCRE2; such trees go there.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_matcher.h"
#include "regex/compiled_expression.h"
#include "regex/regexpr.h"
#include "regex_test_support.h"

namespace {

using platform::CodePage;
using regex_engine::EngineKind;
using regex_engine::EnginePolicy;
using regex_test::PolicyScope;

class ExpressionGenerator {
 public:
  // rich: also constructs the reference matcher does not know (escapes, \B, \A,
  // \Z, x mode, hex codes), for comparing the two libraries with each other.
  ExpressionGenerator(std::uint32_t seed, bool rich, bool backreferences)
      : random_(seed), rich_(rich), backreferences_(backreferences) {}

  std::string Expression() {
    groups_ = 0;
    return Alternation(3);
  }

  std::string Input() {
    // Line breaks come as pairs as well as alone, so positions inside a pair occur.
    static const char* kPieces[] = {"a",    "a",  "b",  "b",    "A",    " ", "\r\n",
                                    "\r\n", "\r", "\n", "\xe9", "\xc9", "_", "1"};
    std::string input;
    const int length = Pick(9);
    for (int k = 0; k < length; ++k) input += kPieces[Pick(std::size(kPieces))];
    return input;
  }

 private:
  int Pick(std::size_t n) { return static_cast<int>(random_() % n); }

  std::string Alternation(int depth) {
    std::string text = Branch(depth);
    while (Pick(4) == 0) text += "|" + Branch(depth);
    return text;
  }

  std::string Branch(int depth) {
    std::string text;
    const int pieces = Pick(4) + (depth == 3 ? 1 : 0);
    for (int k = 0; k < pieces; ++k) text += Piece(depth);
    return text;
  }

  std::string Piece(int depth) {
    std::string atom = Atom(depth);
    if (atom.rfind("(?", 0) == 0) return atom;  // switches are not repeated
    static const char* kQuantifiers[] = {"*", "+", "?", "{2}", "{0,2}", "{1,3}", "{2,}", "{0,}"};
    if (Pick(3) != 0) return atom;
    std::string quantifier = kQuantifiers[Pick(std::size(kQuantifiers))];
    if (Pick(3) == 0) quantifier += "?";
    return atom + quantifier;
  }

  std::string Atom(int depth) {
    static const char* kLiterals[] = {"a", "b", "A", "\xe9", "\xc9", " ", "_"};
    static const char* kClasses[] = {"[ab]", "[^a]", "[a-b]", "[A\xe9]", "[^\r\n]", "[\xc0-\xff]"};
    static const char* kSwitches[] = {"(?i)", "(?-i)", "(?m)", "(?-s)", "(?-g)", "(?s)", "(?im)"};
    static const char* kAssertions[] = {"^", "$", "\\b"};
    static const char* kRich[] = {"\\w",   "\\W",     "\\s",    "\\d",    "\\B",   "\\A",
                                  "\\Z",   "\\x{e9}", "\\r",    "\\n",    "[\\r]", "[\\n\\d]",
                                  "(?x) ", "\\xC9",   "[^\\n]", "(?m-i)", "(?-m)"};
    switch (Pick(14)) {
      case 0:
        return ".";
      case 1:
      case 2:
        return kClasses[Pick(std::size(kClasses))];
      case 3:
      case 4:
        if (depth > 0 && groups_ < 6) {
          ++groups_;
          return "(" + Alternation(depth - 1) + ")";
        }
        return "a";
      case 5:
        return kSwitches[Pick(std::size(kSwitches))];
      case 6:
        return kAssertions[Pick(std::size(kAssertions))];
      case 7:
        if (backreferences_) return "\\" + std::to_string(1 + Pick(3));
        return "b";
      case 8:
        if (rich_) return kRich[Pick(std::size(kRich))];
        return "a";
      default:
        return kLiterals[Pick(std::size(kLiterals))];
    }
  }

  std::mt19937 random_;
  bool rich_;
  bool backreferences_;
  int groups_ = 0;
};

std::string Describe(const std::optional<reference::Captures>& match) {
  if (!match) return "no match";
  std::string text;
  for (const reference::Span& span : *match) {
    text += "(" + std::to_string(span.start) + "," + std::to_string(span.end) + ")";
  }
  return text;
}

// The real engine's first match in the reference's terms.
std::optional<reference::Captures> EngineMatch(TRegExpr& regex, const std::string& input,
                                               int groups) {
  if (!regex.Exec(input)) return std::nullopt;
  reference::Captures captures(static_cast<std::size_t>(groups) + 1);
  for (int n = 0; n <= groups; ++n) {
    const std::int64_t start = regex.GroupStart(n);
    if (start < 0) continue;
    captures[n] = reference::Span{static_cast<long>(start - 1),
                                  static_cast<long>(start - 1 + regex.GroupLength(n))};
  }
  return captures;
}

bool RunsOn(const std::string& expression, CodePage codePage, EngineKind kind) {
  try {
    return regex_engine::TheExpressionCache().Get(expression, codePage)->Engine() == kind;
  } catch (const ERegExpr&) {
    return false;
  }
}

// Returns how many of the valid expressions ran on the linear library.
int CompareWithReference(CodePage codePage, std::uint32_t seed, int expressions, int inputsEach,
                         EnginePolicy policy) {
  const PolicyScope scope(policy);
  ExpressionGenerator generator(seed, false, true);
  int compared = 0;
  int linear = 0;
  for (int e = 0; e < expressions; ++e) {
    const std::string expression = generator.Expression();
    const reference::Matcher reference(expression, codePage);
    TRegExpr regex(codePage);
    regex.SetExpression(expression);
    if (!reference.Valid()) {
      try {
        regex.Exec("a");
        ADD_FAILURE() << "accepted " << expression;
      } catch (const ERegExpr& failure) {
        EXPECT_EQ(failure.FailureCode, 106) << expression;
      }
      continue;
    }
    if (RunsOn(expression, codePage, EngineKind::Linear)) ++linear;
    for (int k = 0; k < inputsEach; ++k) {
      const std::string input = generator.Input();
      const auto expected = reference.Search(input, 0);
      const auto actual = EngineMatch(regex, input, reference.GroupCount());
      EXPECT_EQ(Describe(actual), Describe(expected))
          << "expression [" << expression << "] input [" << input << "]";
      const std::string templ = "<$0|$1|$2>";
      const std::string replaced = reference.Replace(input, templ);
      EXPECT_EQ(regex.ReplaceMatches(input, templ, ReplacementKind::Template), replaced)
          << "expression [" << expression << "] input [" << input << "]";
      // The one-shot path has a loop of its own; it runs in the module's code page.
      if (codePage == RegExprCodePage()) {
        EXPECT_EQ(RegexReplace(expression, input, templ, ReplacementKind::Template), replaced)
            << "expression [" << expression << "] input [" << input << "]";
      }
      ++compared;
      if (::testing::Test::HasFailure()) return linear;
    }
  }
  EXPECT_GT(compared, expressions);  // most generated expressions are valid
  return linear;
}

TEST(Differential, WesternCodePageAgreesWithTheReference) {
  CompareWithReference(CodePage::Windows1252, 20240611, 2500, 8, EnginePolicy::Automatic);
}

TEST(Differential, AsciiCodePageAgreesWithTheReference) {
  CompareWithReference(CodePage::AsciiOnly, 777, 2500, 8, EnginePolicy::Automatic);
}

TEST(Differential, LinearLibraryAgreesWithTheReference) {
  // Expressions with a backreference go to the backtracking library; most of the
  // rest run on the linear one.
  for (const CodePage codePage : {CodePage::Windows1252, CodePage::AsciiOnly}) {
    const int linear =
        CompareWithReference(codePage, 4242, 2500, 8, EnginePolicy::LinearWherePossible);
    EXPECT_GT(linear, 1200);
  }
}

TEST(Differential, BacktrackingLibraryAgreesWithTheReference) {
  for (const CodePage codePage : {CodePage::Windows1252, CodePage::AsciiOnly}) {
    EXPECT_EQ(CompareWithReference(codePage, 9191, 2500, 8, EnginePolicy::BacktrackingOnly), 0);
  }
}

// Everything a caller can see of an expression on a list of inputs: every match
// of Exec and ExecNext with all entries, the replace loops, or the failure.
std::vector<std::string> Observed(const std::string& expression,
                                  const std::vector<std::string>& inputs, CodePage codePage) {
  std::vector<std::string> seen;
  for (const std::string& input : inputs) {
    std::string text;
    try {
      TRegExpr regex(codePage);
      regex.SetExpression(expression);
      for (bool found = regex.Exec(input); found; found = regex.ExecNext()) {
        for (int n = 0; n <= 14; ++n) {
          text += std::to_string(regex.GroupStart(n)) + "," + std::to_string(regex.GroupLength(n));
          text += n == 14 ? ";" : " ";
        }
      }
      text += "|" + regex.ReplaceMatches(input, "<$0|$1|$2|$3>", ReplacementKind::Template);
      if (codePage == RegExprCodePage())
        text += "|" + RegexReplace(expression, input, "[$&]", ReplacementKind::Template);
    } catch (const ERegExpr& failure) {
      text += "error " + std::to_string(failure.FailureCode);
    }
    seen.push_back(text);
  }
  return seen;
}

// Runs generated expressions without backreferences on both libraries.
void CompareLibraries(CodePage codePage, std::uint32_t seed, int expressions) {
  ExpressionGenerator generator(seed, true, false);
  int linear = 0;
  for (int e = 0; e < expressions; ++e) {
    const std::string expression = generator.Expression();
    std::vector<std::string> inputs;
    for (int k = 0; k < 6; ++k) inputs.push_back(generator.Input());
    std::vector<std::string> onLinear, onBacktracking;
    {
      const PolicyScope scope(EnginePolicy::LinearWherePossible);
      if (RunsOn(expression, codePage, EngineKind::Linear)) ++linear;
      onLinear = Observed(expression, inputs, codePage);
    }
    {
      const PolicyScope scope(EnginePolicy::BacktrackingOnly);
      onBacktracking = Observed(expression, inputs, codePage);
    }
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      ASSERT_EQ(onLinear[k], onBacktracking[k])
          << "expression [" << expression << "] input [" << inputs[k] << "]";
    }
  }
  EXPECT_GT(linear, expressions / 2);
}

TEST(Differential, LibrariesAgreeWithEachOtherInTheWesternCodePage) {
  CompareLibraries(CodePage::Windows1252, 31337, 3000);
}

TEST(Differential, LibrariesAgreeWithEachOtherInTheAsciiCodePage) {
  CompareLibraries(CodePage::AsciiOnly, 2718, 3000);
}

}  // namespace
