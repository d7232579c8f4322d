// Turns a parsed expression into a pattern for one of the two matching libraries
// that means exactly the same, leaving nothing to the library's own defaults.
#pragma once

#include <string>

#include "regex/case_map.h"
#include "regex/tree.h"

namespace regex_lowering {

// The callout number at a place where a search would open one repetition level
// too many; the matcher fails the search there.
constexpr int kRepetitionLevelCallout = 1;

// Backtracking: PCRE2 syntax, run with the code page's character tables.
// Linear: RE2 syntax in Latin-1 mode with leftmost-first matching, for trees that
// regex_choice::ChooseEngine found fit for it (no backreference, no callout).
enum class Dialect { Backtracking, Linear };

// Raises ERegExpr (code 1016) when a backtracking pattern would need more than the
// library can repeat without copying a capturing group.
std::string LowerToPattern(const regex_tree::ParsedExpression& parsed,
                           const regex_case::CaseMap& cases,
                           Dialect dialect = Dialect::Backtracking);

}  // namespace regex_lowering
