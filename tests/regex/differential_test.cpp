// Generated expressions and inputs over a small alphabet, matched by the real
// engine and by the reference matcher: first match with every entry, and the
// whole replace loop, in both code pages.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reference_matcher.h"
#include "regex/regexpr.h"

namespace {

using platform::CodePage;

class ExpressionGenerator {
 public:
  explicit ExpressionGenerator(std::uint32_t seed) : random_(seed) {}

  std::string Expression() {
    groups_ = 0;
    return Alternation(3);
  }

  std::string Input() {
    // Line breaks come as pairs as well as alone, so positions inside a pair occur.
    static const char* kPieces[] = {"a",    "a",  "b",  "b",    "A",    " ", "\r\n",
                                    "\r\n", "\r", "\n", "\xe9", "\xc9", "_"};
    std::string input;
    const int length = Pick(8);
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
    switch (Pick(13)) {
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
        return "\\" + std::to_string(1 + Pick(3));
      default:
        return kLiterals[Pick(std::size(kLiterals))];
    }
  }

  std::mt19937 random_;
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

void CompareOn(CodePage codePage, std::uint32_t seed, int expressions, int inputsEach) {
  ExpressionGenerator generator(seed);
  int compared = 0;
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
    for (int k = 0; k < inputsEach; ++k) {
      const std::string input = generator.Input();
      const auto expected = reference.Search(input, 0);
      const auto actual = EngineMatch(regex, input, reference.GroupCount());
      ASSERT_EQ(Describe(actual), Describe(expected))
          << "expression [" << expression << "] input [" << input << "]";
      const std::string templ = "<$0|$1|$2>";
      const std::string replaced = reference.Replace(input, templ);
      ASSERT_EQ(regex.ReplaceMatches(input, templ, true), replaced)
          << "expression [" << expression << "] input [" << input << "]";
      // The one-shot path has a loop of its own; it runs in the module's code page.
      if (codePage == RegExprCodePage()) {
        ASSERT_EQ(RegexReplace(expression, input, templ, true), replaced)
            << "expression [" << expression << "] input [" << input << "]";
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, expressions);  // most generated expressions are valid
}

TEST(Differential, WesternCodePageAgreesWithTheReference) {
  CompareOn(CodePage::Windows1252, 20240611, 2500, 8);
}

TEST(Differential, AsciiCodePageAgreesWithTheReference) {
  CompareOn(CodePage::AsciiOnly, 777, 2500, 8);
}

}  // namespace
