// Which matching library runs an expression, decided from its parsed tree alone.
#pragma once

#include "regex/tree.h"

namespace regex_choice {

// Literal: a short list of plain words, found by the tool's own vector scan
// (regex/literal_engine.h), chosen for speed where the tree has that shape.
enum class EngineKind { Linear, Backtracking, Literal };

struct EngineChoice {
  EngineKind kind = EngineKind::Linear;
  const char* reason = "";  // why, for the debug log
};

// Linear unless the tree holds something only backtracking gives: a
// backreference, a piece past the repetition-level limit (the search must fail
// there), or an unbounded repetition of an operand that can match empty (the
// libraries end such a loop differently). preferSpeed also sends the small
// expressions that backtracking runs in bounded time per start position, and
// faster, to the backtracking library.
EngineChoice ChooseEngine(const regex_tree::ParsedExpression& parsed, bool preferSpeed);

// Whether the tree holds "^" or "$" under the m modifier.
bool HasLineAnchors(const regex_tree::Alternation& alternation);

}  // namespace regex_choice
