// Regular expressions in the tool's expression language.
//
// Design note for the module.
//
// The language is the tool's own: its classes, case rules, line anchors, limits
// and failure codes are not those of any matching library. So an expression is
// never handed to a library as written. The parser (parser.h) reads it into a
// tree (tree.h) in which every modifier is already resolved into the nodes:
// each literal knows whether it is caseless and its other case from the code
// page's table (case_map.h), each class is a set of 256 bits, each "^" or "$"
// knows whether it is a line anchor. Syntax errors, with their codes and
// positions, come from the parser alone, whatever library runs the expression.
//
// The lowering (lowering.h) then writes a pattern from the tree that means
// exactly what the tree means and leaves nothing to the library's defaults:
// every byte that is not an ASCII letter or digit is written as a \xHH escape,
// so no byte of the expression can be read as the library's syntax; classes are
// written as lists of ranges of escaped bytes; "." is written as the set it
// stands for; caseless letters as classes of the code page's pair (or, where
// the library's own folding gives exactly that pair, in a caseless stretch);
// the line anchors as what the language says, never as the library's idea of a
// line. What the lowering guarantees: the pattern accepts the same strings at
// the same positions with the same priorities of alternatives and repetitions,
// and its capturing groups are the expression's, in the same order, so the
// library's match table is the language's.
//
// Two libraries run the patterns; engine_choice.h decides from the tree
// (compiled_expression.cpp applies it):
// - RE2 (linear_engine.h), in Latin-1 mode with leftmost-first matching, for
//   every tree it runs exactly as backtracking would: its time is linear in the
//   subject whatever the expression, so no expression can hang the tool. The
//   line anchors run on a view of the subject in which CR and LF are tokens
//   (line_break_view.h).
// - PCRE2 (backtracking_engine.h), with JIT, for the rest: backreferences, the
//   repetition-level limit (1014), unbounded repetitions of operands that can
//   match empty (where the libraries end the loop differently), and whatever
//   RE2 refuses (a count above 1000, a program over its memory budget). Its
//   step limits end a catastrophic search in about half a second (1015).
// - A short list of plain words ("cat", "(cat)", "cat|dog|bird") needs no
//   matching library: the tool's own vector scan (literal_engine.h) finds each
//   word, and the leftmost, first-written one is what backtracking finds.
// - Other small trees without quantifiers cost backtracking bounded work per
//   start position, and PCRE2 runs them faster than RE2; they go to PCRE2.
// Which library ran never shows in results, only in the module's counters and
// in the debug line that QUORVE_DEBUG_REGEX asks for (compiled_expression.h).
// The differential tests hold both libraries to a reference matcher and to
// each other.
//
// Process-wide state: the code page read at start-up, the cache of compiled
// expressions, the engine policy (tests and the debug variable set it) and the
// counters.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "faststrings/replace_all.h"
#include "platform/code_page.h"

class ERegExpr : public Exception {
 public:
  ERegExpr(std::string message, std::int32_t code, std::int32_t position)
      : Exception(std::move(message)), FailureCode(code), FailurePosition(position) {}
  const char* ClassName() const override { return "ERegExpr"; }
  std::int32_t FailureCode;
  std::int32_t FailurePosition;
};

// A replacement is a template ("$1", "\\n" and the like expanded for each
// match) or a text used as it is.
enum class ReplacementKind { Template, Literal };

class TRegExpr {
 public:
  TRegExpr();
  // Case-insensitive matching in the given code page instead of the one in use.
  explicit TRegExpr(platform::CodePage codePage);
  virtual ~TRegExpr();

  void SetExpression(std::string_view expression);  // cut at its first NUL
  const std::string& Expression() const;
  bool Exec(std::string_view input);  // searches from position 1
  bool ExecNext();
  std::int64_t GroupStart(std::int32_t n) const;   // 1-based, -1 when unset
  std::int64_t GroupLength(std::int32_t n) const;  // -1 when unset
  std::string ExpandTemplate(std::string_view templ);
  std::string ReplaceMatches(std::string_view input, std::string_view replacement,
                             ReplacementKind kind);

  virtual void RaiseError(std::int32_t code);
  virtual std::string ErrorText(std::int32_t code) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

bool RegexMatches(std::string_view expression, std::string_view input);
// The tool itself replaces into reused buffers (RegexReplaceInto).
std::string RegexReplace(std::string_view expression, std::string_view input,
                         std::string_view replacement, ReplacementKind kind);
// The same into a caller's buffer (reused capacity); input must not alias it.
// At most `most` matches are replaced; returns how many were.
std::size_t RegexReplaceInto(std::string& output, std::string_view expression,
                             std::string_view input, std::string_view replacement,
                             ReplacementKind kind, std::size_t most = kEveryMatch);

// The same as pieces handed to sink in order (the result is never held whole).
using RegexPieceSink = std::function<void(std::string_view)>;
std::size_t RegexReplaceTo(const RegexPieceSink& sink, std::string_view expression,
                           std::string_view input, std::string_view replacement,
                           ReplacementKind kind, std::size_t most = kEveryMatch);

// Reads the code page in use, whose letter case "(?i)" follows.
void RegExprStartUp();
// Lets go of what the calling thread's searches kept (compiled expressions, match
// resources); a thread that searched calls it before it ends.
void RegExprThreadEnd();
platform::CodePage RegExprCodePage();
