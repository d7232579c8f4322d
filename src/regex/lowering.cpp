#include "regex/lowering.h"

#include "faststrings/unicode_case.h"
#include "platform/utf8.h"
#include "regex/engine_choice.h"
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

// The largest count the backtracking library takes in one quantifier.
constexpr std::uint32_t kLargestCount = 65535;

bool IsAsciiLetter(std::uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(std::uint8_t c) {
  return (c >= '0' && c <= '9') || IsAsciiLetter(c);
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

// What the pattern is written for: the library, and for the linear one whether
// the subject is its line-break view (regex/line_break_view.h).
struct Target {
  Dialect dialect = Dialect::Backtracking;
  bool lineBreakTokens = false;
};

// A pattern piece that never matches: the backtracking library has a failing
// look-ahead; the linear library, which has none, takes an empty class.
std::string NeverText(const Target& target) {
  return target.dialect == Dialect::Backtracking ? "(?:(?!))" : "[^\\x00-\\xff]";
}

// One byte. The linear library (Debian's 20220601) loses Latin-1 mode on a
// literal above 0x7f that it factors out of alternatives ("\xe9|\xe9b" then
// matches nothing), so such a byte goes to it as a class of two: with NUL, which
// the subject never holds, or on the line-break view with CR, which is never
// the next byte where a pattern piece begins there.
std::string SingleByteText(std::uint8_t c, const Target& target) {
  if (target.dialect == Dialect::Backtracking || c < 0x80) return EscapedByte(c);
  return std::string("[") + (target.lineBreakTokens ? "\\x0d" : "\\x00") + HexByte(c) + "]";
}

std::string SetText(const ByteSet& set, const Target& target) {
  const std::size_t count = set.count();
  if (count == 0) return NeverText(target);
  if (count == 256) return ".";  // the pattern runs with dot-all on
  if (count == 1) {
    for (int c = 0; c < 256; ++c) {
      if (set.test(c)) return SingleByteText(static_cast<std::uint8_t>(c), target);
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
  Lowering(const regex_tree::ParsedExpression& parsed, const regex_case::CaseMap& cases,
           Dialect dialect)
      : parsed_(parsed),
        cases_(cases),
        dialect_(dialect),
        lineBreakTokens_(dialect == Dialect::Linear && regex_choice::HasLineAnchors(parsed.root)),
        target_{dialect, lineBreakTokens_} {}

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

  // Caseless letters are written in a caseless stretch where the library's own
  // folding gives exactly the code page's pair, so that it can use its fast
  // caseless search on them. The backtracking library folds through tables made
  // from the code page; the linear one folds by its own tables, which agree with
  // every code page on the ASCII letters alone.
  bool InCaselessStretch(const Atom& atom) const {
    if (atom.kind != AtomKind::Literal || !atom.caseless) return false;
    if (dialect_ == Dialect::Backtracking) return cases_.FoldsBothWays(atom.byte);
    return IsAsciiLetter(atom.byte) && atom.alternate == (atom.byte ^ 0x20) &&
           cases_.FoldsBothWays(atom.byte);
  }

  std::string BranchText(const Branch& branch) {
    std::string text;
    bool caselessOpen = false;
    for (std::size_t at = 0; at < branch.size();) {
      const std::size_t letterPieces = Utf8LetterAt(branch, at);
      const bool caseless = letterPieces == 0 && InCaselessStretch(branch[at].atom);
      if (caseless && !caselessOpen) text += "(?i:";
      if (!caseless && caselessOpen) text += ")";
      caselessOpen = caseless;
      if (letterPieces > 0) {
        text += Utf8LetterText(branch, at, letterPieces);
        at += letterPieces;
      } else {
        text += PieceText(branch[at]);
        ++at;
      }
    }
    if (caselessOpen) text += ")";
    return text;
  }

  static bool IsPlainCaselessByte(const Piece& piece) {
    return piece.atom.kind == AtomKind::Literal && piece.atom.caseless && !piece.quantified;
  }

  // In a UTF-8 locale, a letter beyond ASCII written as caseless bytes, each
  // without a repetition, matches its case forms: the number of pieces it spans
  // when one starts at branch[at], else 0. A repeated byte keeps its byte meaning.
  std::size_t Utf8LetterAt(const Branch& branch, std::size_t at) const {
    if (cases_.CodePage() != platform::CodePage::Utf8) return 0;
    std::string bytes;
    for (std::size_t i = at; i < branch.size() && i < at + 4 && IsPlainCaselessByte(branch[i]);
         ++i) {
      bytes += static_cast<char>(branch[i].atom.byte);
    }
    if (bytes.empty() || static_cast<std::uint8_t>(bytes[0]) < 0x80) return 0;
    char32_t code = 0;
    const long length = platform::Utf8CharacterAt(bytes, code);
    if (length < 2 || unicode_case::CaseForms(code).size() < 2) return 0;
    return static_cast<std::size_t>(length);
  }

  // The case forms as alternatives of byte strings. No form is the start of
  // another, so their order does not change what matches.
  std::string Utf8LetterText(const Branch& branch, std::size_t at, std::size_t pieces) const {
    std::string bytes;
    for (std::size_t i = at; i < at + pieces; ++i) bytes += static_cast<char>(branch[i].atom.byte);
    char32_t code = 0;
    platform::Utf8CharacterAt(bytes, code);
    std::string text = "(?:";
    bool first = true;
    for (const char32_t form : unicode_case::CaseForms(code)) {
      if (!first) text += '|';
      first = false;
      for (const char c : platform::Utf8Bytes(form)) {
        text += SingleByteText(static_cast<std::uint8_t>(c), target_);
      }
    }
    return text + ")";
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
    // The linear library refuses counts above its own limit; such an expression
    // then runs on the backtracking one.
    if (dialect_ == Dialect::Linear ||
        (q.min <= kLargestCount && (q.max == kUnbounded || q.max <= kLargestCount))) {
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
        if (lineBreakTokens_ && IsViewSpecial(atom.byte)) return ViewSetText(ByteOf(atom.byte));
        if (!atom.caseless || InCaselessStretch(atom)) return SingleByteText(atom.byte, target_);
        return "[" + HexByte(atom.byte) + HexByte(atom.alternate) + "]";
      case AtomKind::Set:
        if (lineBreakTokens_) return ViewSetText(atom.set);
        return SetText(atom.set, target_);
      case AtomKind::AnyByte:
        if (lineBreakTokens_) return ViewSetText(ByteSet().set());
        return ".";
      case AtomKind::AnyButLineBreak:
        if (lineBreakTokens_) return "[^\\x00\\x0a\\x0d]";
        return "[^\\x0a\\x0d]";
      case AtomKind::Group:
        return "(" + AlternationText(*atom.body) + ")";
      case AtomKind::Backreference:
        return BackreferenceText(atom);
      case AtomKind::InputStart:
        return "\\A";
      case AtomKind::InputEnd:
        return "\\z";
      // Never between the CR and the LF of a pair. The linear library has no
      // look-around; it runs such patterns on the line-break view of the subject,
      // where its own line anchors mean exactly this (regex/line_break_view.h).
      case AtomKind::LineStart:
        if (dialect_ == Dialect::Linear) return "(?m:^)";
        return "(?:\\A|(?<=\\x0a)|(?<=\\x0d)(?!\\x0a))";
      case AtomKind::LineEnd:
        if (dialect_ == Dialect::Linear) return "(?m:$)";
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

  // On the line-break view (regex/line_break_view.h) a CR or LF is a token of four
  // bytes, and NUL, which the subject never holds, occurs only inside tokens.
  static bool IsViewSpecial(std::uint8_t c) { return c == 0x00 || c == 0x0a || c == 0x0d; }
  static ByteSet ByteOf(std::uint8_t c) { return ByteSet().set(c); }

  std::string ViewSetText(const ByteSet& set) const {
    ByteSet plain = set;
    for (std::uint8_t c : {0x00, 0x0a, 0x0d}) plain.reset(c);
    const bool cr = set.test(0x0d), lf = set.test(0x0a);
    if (!cr && !lf) return SetText(plain, target_);
    const std::string third = cr && lf ? "[\\x00\\x0d]" : cr ? "\\x0d" : "\\x00";
    const std::string token = "[\\x00\\x0a]\\x0d" + third + "[\\x00\\x0a]";
    if (plain.none()) return "(?:" + token + ")";
    return "(?:" + SetText(plain, target_) + "|" + token + ")";
  }

  std::string BackreferenceText(const Atom& atom) const {
    // A group that does not exist is never set, so the reference never matches.
    if (atom.group > parsed_.groupCount) return NeverText(target_);
    const std::string reference = "\\g{" + std::to_string(atom.group) + "}";
    return atom.caseless ? "(?i:" + reference + ")" : reference;
  }

  const regex_tree::ParsedExpression& parsed_;
  const regex_case::CaseMap& cases_;
  Dialect dialect_;
  bool lineBreakTokens_;
  Target target_;
};

}  // namespace

std::string LowerToPattern(const regex_tree::ParsedExpression& parsed,
                           const regex_case::CaseMap& cases, Dialect dialect) {
  return Lowering(parsed, cases, dialect).Run();
}

}  // namespace regex_lowering
