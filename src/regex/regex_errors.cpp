#include "regex/regex_errors.h"

namespace regex_errors {

std::string DefaultErrorText(std::int32_t code) {
  switch (code) {
    case kTooManyGroups:
      return "TRegExpr(comp): ParseReg Too Many ()";
    case kUnclosedGroup:
    case kUnopenedGroup:
      return "TRegExpr(comp): ParseReg Unmatched ()";
    case kOperandCouldBeEmpty:
      return "TRegExpr(comp): *+ Operand Could Be Empty";
    case kNestedQuantifier:
      return "TRegExpr(comp): Nested *?+";
    case kBadHexDigit:
      return "TRegExpr(comp): Bad Hex Digit";
    case kInvalidRange:
      return "TRegExpr(comp): Invalid [] Range";
    case kClassTrailingBackslash:
      return "TRegExpr(comp): Parse Atom Trailing \\";
    case kNoHexCode:
      return "TRegExpr(comp): No Hex Code After \\x";
    case kHexCodeTooBig:
      return "TRegExpr(comp): Hex Code After \\x Is Too Big";
    case kUnclosedClass:
      return "TRegExpr(comp): Unmatched []";
    case kQuantifierFollowsNothing:
      return "TRegExpr(comp): ?+*{ Follows Nothing";
    case kTrailingBackslash:
      return "TRegExpr(comp): Trailing \\";
    case kBracesArgumentTooBig:
      return "TRegExpr(comp): BRACES Argument Too Big";
    case kBracesMinAboveMax:
      return "TRegExpr(comp): BRACE Min Param Greater then Max";
    case kUnclosedComment:
      return "TRegExpr(comp): Unclosed (?#Comment)";
    case kUnrecognizedModifier:
      return "TRegExpr(comp): Urecognized Modifier";
    case kNoExpression:
      return "TRegExpr(exec): Not Assigned Expression Property";
    case kNoInput:
      return "TRegExpr(exec): No Input String Specified";
    case kExecNextWithoutExec:
      return "TRegExpr(exec): ExecNext Without Exec[Pos]";
    case kLoopStackExceeded:
      return "TRegExpr(exec): Loop Stack Exceeded";
    case kMatcherLimitExceeded:
      return "TRegExpr(exec): Match Backtracking Limit Exceeded";
    case kExpressionTooBig:
      return "TRegExpr(comp): Expression Too Big";
    default:
      return "TRegExpr: Unknown Error " + std::to_string(code);
  }
}

bool IsCompileError(std::int32_t code) {
  return code < 1000;
}

std::string FullMessage(const std::string& text, std::int32_t code, std::int32_t position) {
  if (!IsCompileError(code)) return text;
  return text + " (pos " + std::to_string(position) + ")";
}

ERegExpr MakeError(std::int32_t code, std::int32_t position) {
  if (!IsCompileError(code)) position = 0;
  return ERegExpr(FullMessage(DefaultErrorText(code), code, position), code, position);
}

}  // namespace regex_errors
