// The parsed form of an expression: alternatives of pieces, each an atom with an
// optional quantifier. Modifiers are already resolved into the nodes, so whoever
// walks the tree needs no modifier state of its own.
#pragma once

#include <bitset>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace regex_tree {

// An expression captures at most this many groups; a match reports the whole
// match as entry 0 and then one entry per group.
constexpr int kMaxGroups = 14;
constexpr std::uint32_t kMatchTableEntries = kMaxGroups + 1;

using ByteSet = std::bitset<256>;

enum class AtomKind {
  Literal,          // one byte; `alternate` is its other case under i, else the same byte
  Set,              // one byte out of `set` (classes, \d and the like)
  AnyByte,          // "." with s on
  AnyButLineBreak,  // "." with s off
  Group,            // capturing group `group` holding `body`
  Backreference,    // text of group `group`, compared caseless when `caseless`
  InputStart,       // "^" without m, "\A"
  InputEnd,         // "$" without m, "\Z"
  LineStart,        // "^" with m
  LineEnd,          // "$" with m
  WordBoundary,
  NotWordBoundary,
  Nothing,  // comments, modifier switches and blanks under x
};

struct Alternation;

struct Atom {
  AtomKind kind = AtomKind::Nothing;
  std::uint8_t byte = 0;
  std::uint8_t alternate = 0;
  // A literal with another case, or under i in UTF-8 a byte beyond ASCII (part of a
  // letter whose case forms are written out when the tree is lowered).
  bool caseless = false;
  int group = 0;
  ByteSet set;
  std::unique_ptr<Alternation> body;
};

constexpr std::uint32_t kUnbounded = std::numeric_limits<std::uint32_t>::max();

struct Quantifier {
  std::uint32_t min = 0;
  std::uint32_t max = kUnbounded;
  bool lazy = false;
  bool braces = false;
};

struct Piece {
  Atom atom;
  bool quantified = false;
  Quantifier quantifier;
  // Set on a piece that would open the eleventh nested repetition level.
  bool exceedsRepetitionLevels = false;
};

using Branch = std::vector<Piece>;

struct Alternation {
  std::vector<Branch> branches;
};

struct ParsedExpression {
  Alternation root;
  int groupCount = 0;
  int deepestRepetitionLevel = 0;
};

}  // namespace regex_tree
