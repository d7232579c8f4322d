// Reads an expression of the tool's expression language into a tree, or raises
// ERegExpr with the code and parse position of the first error from the left.
#pragma once

#include <string_view>

#include "regex/case_map.h"
#include "regex/tree.h"

namespace regex_parser {

using regex_tree::kMaxGroups;
constexpr int kMaxRepetitionLevels = 10;
// Brace numbers have at most this many digits.
constexpr int kMaxBraceDigits = 8;

// The expression is taken as given (the caller cuts it at its first NUL).
regex_tree::ParsedExpression Parse(std::string_view expression, const regex_case::CaseMap& cases);

}  // namespace regex_parser
