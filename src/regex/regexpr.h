// Regular expressions in the tool's expression language, matched by PCRE2.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "platform/code_page.h"

class ERegExpr : public Exception {
 public:
  ERegExpr(std::string message, std::int32_t code, std::int32_t position)
      : Exception(std::move(message)), FailureCode(code), FailurePosition(position) {}
  const char* ClassName() const override { return "ERegExpr"; }
  std::int32_t FailureCode;
  std::int32_t FailurePosition;
};

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
  std::string ReplaceMatches(std::string_view input, std::string_view replacement, bool expand);

  virtual void RaiseError(std::int32_t code);
  virtual std::string ErrorText(std::int32_t code) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

bool RegexMatches(std::string_view expression, std::string_view input);
// The tool itself replaces into reused buffers (RegexReplaceInto).
std::string RegexReplace(std::string_view expression, std::string_view input,
                         std::string_view replacement, bool expand);
// The same into a caller's buffer (reused capacity); input must not alias it.
void RegexReplaceInto(std::string& output, std::string_view expression, std::string_view input,
                      std::string_view replacement, bool expand);

// The same as pieces handed to sink in order (the result is never held whole).
using RegexPieceSink = std::function<void(std::string_view)>;
void RegexReplaceTo(const RegexPieceSink& sink, std::string_view expression, std::string_view input,
                    std::string_view replacement, bool expand);

// Reads the code page in use, whose letter case "(?i)" follows.
void RegExprStartUp();
platform::CodePage RegExprCodePage();
