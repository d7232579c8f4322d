#include "regex/lowering.h"

#include "regex/regex_errors.h"

namespace regex_lowering {

namespace {

using regex_tree::Alternation;
using regex_tree::Atom;
using regex_tree::AtomKind;
using regex_tree::Branch;
using regex_tree::ByteSet;
using regex_tree::kUnbounded;
using regex_tree::Piece;

// The largest count the library takes in one quantifier.
constexpr std::uint32_t kLargestCount = 65535;

bool IsAsciiAlnum(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string HexByte(std::uint8_t c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return std::string("\\x") + kDigits[c >> 4] + kDigits[c & 15];
}

// Letters and digits stay readable; every other byte is written by its code, so
// no byte can be taken as syntax.
std::string EscapedByte(std::uint8_t c) {
  return IsAsciiAlnum(c) ? std::string(1, static_cast<char>(c)) : HexByte(c);
}

std::string SetText(const ByteSet& set) {
  const std::size_t count = set.count();
  if (count == 0) return "(?:(?!))";
  if (count == 256) return ".";  // the pattern runs with dot-all on
  if (count == 1) {
    for (int c = 0; c < 256; ++c) {
      if (set.test(c)) return EscapedByte(static_cast<std::uint8_t>(c));
    }
  }
  std::string text = "[";
  for (int c = 0; c < 256;) {
    if (!set.test(c)) {
      ++c;
      continue;
    }
    int last = c;
    while (last + 1 < 256 && set.test(last + 1)) ++last;
    text += HexByte(static_cast<std::uint8_t>(c));
    if (last > c) {
      if (last > c + 1) text += '-';
      text += HexByte(static_cast<std::uint8_t>(last));
    }
    c = last + 1;
  }
  return text + "]";
}

std::string CountText(std::uint32_t min, std::uint32_t max) {
  if (max == kUnbounded) {
    if (min == 0) return "*";
    if (min == 1) return "+";
    return "{" + std::to_string(min) + ",}";
  }
  if (min == 0 && max == 1) return "?";
  if (min == max) return "{" + std::to_string(min) + "}";
  return "{" + std::to_string(min) + "," + std::to_string(max) + "}";
}

class Lowering {
 public:
  Lowering(const regex_tree::ParsedExpression& parsed, const regex_case::CaseMap& cases)
      : parsed_(parsed), cases_(cases) {}

  std::string Run() {
    // Dot-all for the whole pattern: "." is any byte; "." with s off is written
    // as its own class.
    return "(?s)" + AlternationText(parsed_.root);
  }

 private:
  std::string AlternationText(const Alternation& alternation) {
    std::string text;
    for (std::size_t i = 0; i < alternation.branches.size(); ++i) {
      if (i > 0) text += '|';
      text += BranchText(alternation.branches[i]);
    }
    return text;
  }

  // Caseless letters whose pair the library's case tables hold are written in a
  // caseless stretch, so the library can use its fast caseless search on them.
  bool InCaselessStretch(const Piece& piece) const {
    return piece.atom.kind == AtomKind::Literal && piece.atom.caseless &&
           cases_.FoldsBothWays(piece.atom.byte);
  }

  std::string BranchText(const Branch& branch) {
    std::string text;
    bool caselessOpen = false;
    for (const Piece& piece : branch) {
      const bool caseless = InCaselessStretch(piece);
      if (caseless && !caselessOpen) text += "(?i:";
      if (!caseless && caselessOpen) text += ")";
      caselessOpen = caseless;
      text += PieceText(piece);
    }
    if (caselessOpen) text += ")";
    return text;
  }

  static bool IsAssertion(AtomKind kind) {
    switch (kind) {
      case AtomKind::InputStart:
      case AtomKind::InputEnd:
      case AtomKind::LineStart:
      case AtomKind::LineEnd:
      case AtomKind::WordBoundary:
      case AtomKind::NotWordBoundary:
        return true;
      default:
        return false;
    }
  }

  std::string PieceText(const Piece& piece) {
    std::string text;
    if (piece.exceedsRepetitionLevels) {
      text += "(?C" + std::to_string(kRepetitionLevelCallout) + ")";
    }
    const std::string unit = AtomText(piece.atom);
    if (!piece.quantified) return text + unit;
    const auto& q = piece.quantifier;
    const std::string lazy = q.lazy ? "?" : "";
    if (piece.atom.kind == AtomKind::Nothing) return text;
    if (IsAssertion(piece.atom.kind))
      return text + "(?:" + unit + ")" + CountText(q.min, q.max) + lazy;
    if (q.min <= kLargestCount && (q.max == kUnbounded || q.max <= kLargestCount)) {
      return text + unit + CountText(q.min, q.max) + lazy;
    }
    // Repeating the text of a capturing group would add groups.
    if (piece.atom.kind == AtomKind::Group)
      throw regex_errors::MakeError(regex_errors::kExpressionTooBig);
    return text + LargeCountText(unit, q.min, q.max, lazy);
  }

  // Counts beyond the library's limit as nested counted repetitions; they try the
  // same numbers of repetitions in the same order of preference.
  static std::string LargeCountText(const std::string& unit, std::uint32_t min, std::uint32_t max,
                                    const std::string& lazy) {
    std::string text;
    if (min > kLargestCount) {
      text += "(?:" + unit + "{" + std::to_string(kLargestCount) + "}){" +
              std::to_string(min / kLargestCount) + "}";
      if (min % kLargestCount) text += unit + "{" + std::to_string(min % kLargestCount) + "}";
    } else if (min > 0) {
      text += unit + "{" + std::to_string(min) + "}";
    }
    if (max == kUnbounded) return text + unit + "*" + lazy;
    const std::uint32_t optional = max - min;
    if (optional <= kLargestCount) {
      if (optional > 0) text += unit + "{0," + std::to_string(optional) + "}" + lazy;
      return text;
    }
    text += "(?:" + unit + "{0," + std::to_string(kLargestCount) + "}" + lazy + "){0," +
            std::to_string(optional / kLargestCount) + "}" + lazy;
    if (optional % kLargestCount) {
      text += unit + "{0," + std::to_string(optional % kLargestCount) + "}" + lazy;
    }
    return text;
  }

  std::string AtomText(const Atom& atom) {
    switch (atom.kind) {
      case AtomKind::Literal:
        if (!atom.caseless || cases_.FoldsBothWays(atom.byte)) return EscapedByte(atom.byte);
        return "[" + HexByte(atom.byte) + HexByte(atom.alternate) + "]";
      case AtomKind::Set:
        return SetText(atom.set);
      case AtomKind::AnyByte:
        return ".";
      case AtomKind::AnyButLineBreak:
        return "[^\\x0a\\x0d]";
      case AtomKind::Group:
        return "(" + AlternationText(*atom.body) + ")";
      case AtomKind::Backreference:
        return BackreferenceText(atom);
      case AtomKind::InputStart:
        return "\\A";
      case AtomKind::InputEnd:
        return "\\z";
      // Never between the CR and the LF of a pair.
      case AtomKind::LineStart:
        return "(?:\\A|(?<=\\x0a)|(?<=\\x0d)(?!\\x0a))";
      case AtomKind::LineEnd:
        return "(?:\\z|(?=\\x0d)|(?<!\\x0d)(?=\\x0a))";
      case AtomKind::WordBoundary:
        return "\\b";
      case AtomKind::NotWordBoundary:
        return "\\B";
      case AtomKind::Nothing:
        return "";
    }
    return "";
  }

  std::string BackreferenceText(const Atom& atom) const {
    // A group that does not exist is never set, so the reference never matches.
    if (atom.group > parsed_.groupCount) return "(?:(?!))";
    const std::string reference = "\\g{" + std::to_string(atom.group) + "}";
    return atom.caseless ? "(?i:" + reference + ")" : reference;
  }

  const regex_tree::ParsedExpression& parsed_;
  const regex_case::CaseMap& cases_;
};

}  // namespace

std::string LowerToPattern(const regex_tree::ParsedExpression& parsed,
                           const regex_case::CaseMap& cases) {
  return Lowering(parsed, cases).Run();
}

}  // namespace regex_lowering
