#include "regex/engine_choice.h"

namespace regex_choice {

namespace {

using regex_tree::Alternation;
using regex_tree::Atom;
using regex_tree::AtomKind;
using regex_tree::Branch;
using regex_tree::kUnbounded;
using regex_tree::Piece;

bool CanMatchEmpty(const Alternation& alternation);

bool CanMatchEmpty(const Atom& atom) {
  switch (atom.kind) {
    case AtomKind::Literal:
    case AtomKind::Set:
    case AtomKind::AnyByte:
    case AtomKind::AnyButLineBreak:
      return false;
    case AtomKind::Group:
      return CanMatchEmpty(*atom.body);
    default:  // assertions, nothing, and a backreference to an empty capture
      return true;
  }
}

bool CanMatchEmpty(const Piece& piece) {
  if (piece.quantified && piece.quantifier.min == 0) return true;
  return CanMatchEmpty(piece.atom);
}

bool CanMatchEmpty(const Alternation& alternation) {
  for (const Branch& branch : alternation.branches) {
    bool all = true;
    for (const Piece& piece : branch) all = all && CanMatchEmpty(piece);
    if (all) return true;
  }
  return false;
}

// The first reason found in the tree that only backtracking runs it right.
const char* BacktrackingReason(const Alternation& alternation) {
  for (const Branch& branch : alternation.branches) {
    for (const Piece& piece : branch) {
      if (piece.atom.kind == AtomKind::Backreference) return "backreference";
      if (piece.exceedsRepetitionLevels) return "repetition-level limit";
      // Backtracking ends an unbounded loop after an iteration that matched
      // empty, keeping what that iteration captured; the linear library drops
      // such an iteration, so captures or even the match would differ.
      if (piece.quantified && piece.quantifier.max == kUnbounded && CanMatchEmpty(piece.atom)) {
        return "unbounded repetition of an operand that can match empty";
      }
      if (piece.atom.kind == AtomKind::Group) {
        if (const char* reason = BacktrackingReason(*piece.atom.body)) return reason;
      }
    }
  }
  return nullptr;
}

// The number of ways backtracking can walk the tree from one start position, or
// more than the limit. Without quantifiers it is the product of the alternations'
// sizes along each branch, summed over the branches.
std::size_t WalkCount(const Alternation& alternation, std::size_t limit) {
  std::size_t total = 0;
  for (const Branch& branch : alternation.branches) {
    std::size_t ways = 1;
    for (const Piece& piece : branch) {
      if (piece.quantified) return limit + 1;
      if (piece.atom.kind == AtomKind::Group) ways *= WalkCount(*piece.atom.body, limit);
      if (ways > limit) return limit + 1;
    }
    total += ways;
    if (total > limit) return limit + 1;
  }
  return total;
}

// Expressions without quantifiers and with few ways through them (a word, a
// word in a group, a short list of words) cost backtracking a bounded amount of
// work per start position, and its literal search runs them faster.
constexpr std::size_t kMaxWalksForSpeed = 16;

}  // namespace

bool HasLineAnchors(const Alternation& alternation) {
  for (const Branch& branch : alternation.branches) {
    for (const Piece& piece : branch) {
      const AtomKind kind = piece.atom.kind;
      if (kind == AtomKind::LineStart || kind == AtomKind::LineEnd) return true;
      if (kind == AtomKind::Group && HasLineAnchors(*piece.atom.body)) return true;
    }
  }
  return false;
}

EngineChoice ChooseEngine(const regex_tree::ParsedExpression& parsed, bool preferSpeed) {
  if (const char* reason = BacktrackingReason(parsed.root)) {
    return {EngineKind::Backtracking, reason};
  }
  if (preferSpeed && WalkCount(parsed.root, kMaxWalksForSpeed) <= kMaxWalksForSpeed) {
    return {EngineKind::Backtracking, "no quantifier and few alternatives: faster"};
  }
  return {EngineKind::Linear, "linear time"};
}

}  // namespace regex_choice
