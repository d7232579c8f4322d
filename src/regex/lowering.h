// Turns a parsed expression into a pattern for the matching library that means
// exactly the same, leaving nothing to the library's own defaults.
#pragma once

#include <string>

#include "regex/case_map.h"
#include "regex/tree.h"

namespace regex_lowering {

// The callout number at a place where a search would open one repetition level
// too many; the matcher fails the search there.
constexpr int kRepetitionLevelCallout = 1;

// Raises ERegExpr (code 1016) when the pattern would need more than the library
// can repeat without copying a capturing group.
std::string LowerToPattern(const regex_tree::ParsedExpression& parsed,
                           const regex_case::CaseMap& cases);

}  // namespace regex_lowering
