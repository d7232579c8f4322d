// Failure codes of the expression module and their messages.
#pragma once

#include <cstdint>
#include <string>

#include "regex/regexpr.h"

namespace regex_errors {

enum Code : std::int32_t {
  kTooManyGroups = 102,
  kUnclosedGroup = 103,
  kUnopenedGroup = 104,
  kOperandCouldBeEmpty = 106,
  kNestedQuantifier = 107,
  kBadHexDigit = 108,
  kInvalidRange = 109,
  kClassTrailingBackslash = 110,
  kNoHexCode = 111,
  kHexCodeTooBig = 112,
  kUnclosedClass = 113,
  kQuantifierFollowsNothing = 115,
  kTrailingBackslash = 116,
  kBracesArgumentTooBig = 122,
  kBracesMinAboveMax = 124,
  kUnclosedComment = 125,
  kUnrecognizedModifier = 127,
  kNoExpression = 1003,
  kNoInput = 1005,
  kExecNextWithoutExec = 1007,
  kLoopStackExceeded = 1014,
  // The matching library's own limits, which a search or a compile can run into.
  kMatcherLimitExceeded = 1015,
  kExpressionTooBig = 1016,
};

// The message of a code; codes below 1000 are compile errors and get a position.
std::string DefaultErrorText(std::int32_t code);
bool IsCompileError(std::int32_t code);
// "text" or "text (pos N)".
std::string FullMessage(const std::string& text, std::int32_t code, std::int32_t position);
ERegExpr MakeError(std::int32_t code, std::int32_t position = 0);

}  // namespace regex_errors
