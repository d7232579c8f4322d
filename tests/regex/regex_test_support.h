// Small helpers shared by the expression tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "regex/compiled_expression.h"
#include "regex/regexpr.h"

namespace regex_test {

// Runs a block under an engine policy and puts back the one before.
class PolicyScope {
 public:
  explicit PolicyScope(regex_engine::EnginePolicy policy)
      : before_(regex_engine::CurrentEnginePolicy()) {
    regex_engine::SetEnginePolicy(policy);
  }
  ~PolicyScope() { regex_engine::SetEnginePolicy(before_); }
  PolicyScope(const PolicyScope&) = delete;
  PolicyScope& operator=(const PolicyScope&) = delete;

 private:
  regex_engine::EnginePolicy before_;
};

// "start,length" (1-based) of the first match, "none", or "error <code>".
inline std::string FirstMatch(std::string_view expression, std::string_view input,
                              platform::CodePage codePage = platform::CodePage::Windows1252) {
  TRegExpr regex(codePage);
  regex.SetExpression(expression);
  try {
    if (!regex.Exec(input)) return "none";
  } catch (const ERegExpr& failure) {
    return "error " + std::to_string(failure.FailureCode);
  }
  return std::to_string(regex.GroupStart(0)) + "," + std::to_string(regex.GroupLength(0));
}

// The text of entry n of the first match, "<unset>" when it took no part.
inline std::string GroupText(std::string_view expression, std::string_view input, int n,
                             platform::CodePage codePage = platform::CodePage::Windows1252) {
  TRegExpr regex(codePage);
  regex.SetExpression(expression);
  if (!regex.Exec(input)) return "<no match>";
  if (regex.GroupStart(n) < 0) return "<unset>";
  return std::string(input.substr(regex.GroupStart(n) - 1, regex.GroupLength(n)));
}

// Every match of Exec and ExecNext with entries 0 to 2, as "start,length" pairs.
inline std::string AllMatches(std::string_view expression, std::string_view input,
                              platform::CodePage codePage = platform::CodePage::Windows1252) {
  TRegExpr regex(codePage);
  regex.SetExpression(expression);
  std::string text;
  for (bool found = regex.Exec(input); found; found = regex.ExecNext()) {
    for (int n = 0; n <= 2; ++n) {
      text += std::to_string(regex.GroupStart(n)) + "," + std::to_string(regex.GroupLength(n)) +
              (n == 2 ? ";" : " ");
    }
  }
  return text;
}

// Every match replaced through an object of the given code page.
inline std::string Replaced(std::string_view expression, std::string_view input,
                            std::string_view templ,
                            platform::CodePage codePage = platform::CodePage::Windows1252) {
  TRegExpr regex(codePage);
  regex.SetExpression(expression);
  return regex.ReplaceMatches(input, templ, ReplacementKind::Template);
}

}  // namespace regex_test
