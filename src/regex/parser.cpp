#include "regex/parser.h"

#include <algorithm>
#include <optional>

#include "regex/regex_errors.h"

namespace regex_parser {

namespace {

using regex_tree::Alternation;
using regex_tree::Atom;
using regex_tree::AtomKind;
using regex_tree::Branch;
using regex_tree::ByteSet;
using regex_tree::ParsedExpression;
using regex_tree::Piece;
using regex_tree::Quantifier;

struct Modifiers {
  bool i = false;
  bool r = true;
  bool s = true;
  bool g = true;
  bool m = false;
  bool x = false;
};

ByteSet RangeSet(int from, int to) {
  ByteSet set;
  for (int c = from; c <= to; ++c) set.set(c);
  return set;
}
const ByteSet kDigits = RangeSet('0', '9');
const ByteSet kWordChars =
    RangeSet('0', '9') | RangeSet('a', 'z') | RangeSet('A', 'Z') | RangeSet('_', '_');
ByteSet SpaceChars() {
  ByteSet set;
  for (int c : {0x20, 0x09, 0x0A, 0x0D, 0x0C}) set.set(c);
  return set;
}
const ByteSet kSpaceChars = SpaceChars();

// Letters of code page 1251, widened into the ranges that leave out their yo.
constexpr int kCyrillicLowerFirst = 0xE0, kCyrillicLowerLast = 0xFF, kCyrillicLowerYo = 0xB8;
constexpr int kCyrillicUpperFirst = 0xC0, kCyrillicUpperLast = 0xDF, kCyrillicUpperYo = 0xA8;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsQuantifierChar(char c) {
  return c == '*' || c == '+' || c == '?' || c == '{';
}
bool IsExtendedBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The byte of a control escape letter, if it is one.
std::optional<std::uint8_t> ControlEscape(char c) {
  switch (c) {
    case 't':
      return 0x09;
    case 'n':
      return 0x0A;
    case 'r':
      return 0x0D;
    case 'f':
      return 0x0C;
    case 'a':
      return 0x07;
    case 'e':
      return 0x1B;
    default:
      return std::nullopt;
  }
}

class Parser {
 public:
  Parser(std::string_view text, const regex_case::CaseMap& cases) : text_(text), cases_(cases) {}

  ParsedExpression Run() {
    ParsedExpression result;
    bool consuming = false;
    result.root = ParseAlternation(consuming);
    if (!AtEnd()) Fail(regex_errors::kUnopenedGroup, pos_);  // only a ")" stops it early
    result.groupCount = groupCount_;
    result.deepestRepetitionLevel = MarkRepetitionLevels(result.root, 0);
    return result;
  }

 private:
  struct ParsedPiece {
    Piece piece;
    bool consuming = false;
  };

  [[noreturn]] void Fail(std::int32_t code, std::size_t position) {
    throw regex_errors::MakeError(code, static_cast<std::int32_t>(position));
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool HasAhead(std::size_t ahead) const { return pos_ + ahead < text_.size(); }

  // everyBranchConsumes: no alternative can get by without consuming input.
  Alternation ParseAlternation(bool& everyBranchConsumes) {
    Alternation alternation;
    everyBranchConsumes = true;
    for (;;) {
      bool consuming = false;
      alternation.branches.push_back(ParseBranch(consuming));
      everyBranchConsumes = everyBranchConsumes && consuming;
      if (AtEnd() || Peek() != '|') break;
      ++pos_;
    }
    return alternation;
  }

  Branch ParseBranch(bool& consuming) {
    Branch branch;
    while (!AtEnd() && Peek() != '|' && Peek() != ')') {
      ParsedPiece parsed = ParsePiece();
      consuming = consuming || parsed.consuming;
      branch.push_back(std::move(parsed.piece));
    }
    return branch;
  }

  ParsedPiece ParsePiece() {
    ParsedPiece parsed;
    parsed.consuming = ParseAtom(parsed.piece.atom);
    if (!AtEnd()) ParseQuantifier(parsed, parsed.consuming);
    return parsed;
  }

  // A repetition with braces or a lazy one, of a group or of "." with s off,
  // opens a repetition level while it is matched.
  static bool OpensRepetitionLevel(const Piece& piece) {
    return piece.quantified && (piece.quantifier.braces || piece.quantifier.lazy) &&
           (piece.atom.kind == AtomKind::Group || piece.atom.kind == AtomKind::AnyButLineBreak);
  }

  // Marks the pieces that would open a level beyond the limit; returns the deepest
  // level reached, `level` being the number open around this alternation.
  static int MarkRepetitionLevels(Alternation& alternation, int level) {
    int deepest = level;
    for (Branch& branch : alternation.branches) {
      for (Piece& piece : branch) {
        int inner = level;
        if (OpensRepetitionLevel(piece)) {
          inner = level + 1;
          piece.exceedsRepetitionLevels = inner > kMaxRepetitionLevels;
        }
        deepest = std::max(deepest, inner);
        if (piece.atom.kind == AtomKind::Group) {
          deepest = std::max(deepest, MarkRepetitionLevels(*piece.atom.body, inner));
        }
      }
    }
    return deepest;
  }

  void ParseQuantifier(ParsedPiece& parsed, bool atomConsuming) {
    Quantifier quantifier;
    const char c = Peek();
    if (c == '*' || c == '+') {
      if (!atomConsuming) Fail(regex_errors::kOperandCouldBeEmpty, pos_);
      ++pos_;
      quantifier.min = c == '+' ? 1 : 0;
      parsed.consuming = c == '+';
    } else if (c == '?') {
      ++pos_;
      quantifier.max = 1;
      parsed.consuming = false;
    } else if (c == '{') {
      if (!atomConsuming) Fail(regex_errors::kOperandCouldBeEmpty, pos_);
      if (!ParseBraces(quantifier)) return;  // an ordinary "{", read as the next atom
      quantifier.braces = true;
      parsed.consuming = quantifier.max > 0;
    } else {
      return;
    }
    if (!AtEnd() && Peek() == '?') {
      ++pos_;
      quantifier.lazy = true;
    }
    if (!modifiers_.g) quantifier.lazy = true;
    if (!AtEnd() && IsQuantifierChar(Peek())) Fail(regex_errors::kNestedQuantifier, pos_);
    parsed.piece.quantified = true;
    parsed.piece.quantifier = quantifier;
  }

  // Reads "{n}", "{n,}" or "{n,m}" at pos_; leaves pos_ alone when the text there
  // is none of the three.
  bool ParseBraces(Quantifier& quantifier) {
    std::size_t p = pos_ + 1;
    const std::size_t minStart = p;
    while (p < text_.size() && text_[p] >= '0' && text_[p] <= '9') ++p;
    const std::size_t minEnd = p;
    if (minEnd == minStart || p >= text_.size()) return false;
    std::size_t maxStart = 0, maxEnd = 0;
    bool hasComma = false;
    if (text_[p] == ',') {
      hasComma = true;
      ++p;
      maxStart = p;
      while (p < text_.size() && text_[p] >= '0' && text_[p] <= '9') ++p;
      maxEnd = p;
      if (p >= text_.size()) return false;
    }
    if (text_[p] != '}') return false;
    const std::size_t close = p;
    quantifier.min = BraceNumber(minStart, minEnd);
    if (!hasComma) {
      quantifier.max = quantifier.min;
    } else if (maxEnd == maxStart) {
      quantifier.max = regex_tree::kUnbounded;
    } else {
      quantifier.max = BraceNumber(maxStart, maxEnd);
    }
    if (quantifier.min > quantifier.max) Fail(regex_errors::kBracesMinAboveMax, close);
    pos_ = close + 1;
    return true;
  }

  std::uint32_t BraceNumber(std::size_t from, std::size_t to) {
    if (to - from > static_cast<std::size_t>(kMaxBraceDigits)) {
      Fail(regex_errors::kBracesArgumentTooBig, to);
    }
    std::uint32_t value = 0;
    for (std::size_t p = from; p < to; ++p) value = value * 10 + (text_[p] - '0');
    return value;
  }

  // Fills atom; returns whether it consumes input.
  bool ParseAtom(Atom& atom) {
    const char c = Peek();
    if (modifiers_.x && (IsExtendedBlank(c) || c == '#')) {
      SkipExtendedBlanks();
      atom.kind = AtomKind::Nothing;
      return false;
    }
    switch (c) {
      case '^':
        ++pos_;
        atom.kind = modifiers_.m ? AtomKind::LineStart : AtomKind::InputStart;
        return false;
      case '$':
        ++pos_;
        atom.kind = modifiers_.m ? AtomKind::LineEnd : AtomKind::InputEnd;
        return false;
      case '.':
        ++pos_;
        atom.kind = modifiers_.s ? AtomKind::AnyByte : AtomKind::AnyButLineBreak;
        return true;
      case '[':
        ParseClass(atom);
        return true;
      case '(':
        return ParseParenthesis(atom);
      case '*':
      case '+':
      case '?':
        Fail(regex_errors::kQuantifierFollowsNothing, pos_ + 1);
      case '\\':
        return ParseEscape(atom);
      default:
        ++pos_;
        MakeLiteral(atom, static_cast<std::uint8_t>(c));
        return true;
    }
  }

  void SkipExtendedBlanks() {
    while (!AtEnd()) {
      const char c = Peek();
      if (IsExtendedBlank(c)) {
        ++pos_;
      } else if (c == '#') {
        while (!AtEnd() && Peek() != '\r' && Peek() != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  void MakeLiteral(Atom& atom, std::uint8_t byte) {
    atom.kind = AtomKind::Literal;
    atom.byte = byte;
    atom.alternate = modifiers_.i ? cases_.Swap(byte) : byte;
    // In UTF-8 a byte beyond ASCII may be part of a letter, whose case forms the
    // lowering writes out (regex/lowering.h).
    const bool utf8Letter =
        modifiers_.i && byte >= 0x80 && cases_.CodePage() == platform::CodePage::Utf8;
    atom.caseless = atom.alternate != byte || utf8Letter;
  }

  void MakeSet(Atom& atom, const ByteSet& set) {
    atom.kind = AtomKind::Set;
    atom.set = set;
  }

  bool ParseParenthesis(Atom& atom) {
    if (Peek(1) == '?' && HasAhead(1)) {
      if (Peek(2) == '#' && HasAhead(2)) {
        const std::size_t close = text_.find(')', pos_ + 3);
        if (close == std::string_view::npos) Fail(regex_errors::kUnclosedComment, text_.size());
        pos_ = close + 1;
      } else {
        ParseModifierSwitch();
      }
      atom.kind = AtomKind::Nothing;
      return false;
    }
    ++pos_;
    if (++groupCount_ > kMaxGroups) Fail(regex_errors::kTooManyGroups, pos_);
    atom.kind = AtomKind::Group;
    atom.group = groupCount_;
    const Modifiers saved = modifiers_;
    bool consuming = false;
    atom.body = std::make_unique<Alternation>(ParseAlternation(consuming));
    if (AtEnd()) Fail(regex_errors::kUnclosedGroup, text_.size());
    ++pos_;
    modifiers_ = saved;
    return consuming;
  }

  void ParseModifierSwitch() {
    const std::size_t close = text_.find(')', pos_ + 2);
    if (close == std::string_view::npos) Fail(regex_errors::kUnrecognizedModifier, text_.size());
    Modifiers updated = modifiers_;
    bool on = true;
    for (std::size_t p = pos_ + 2; p < close; ++p) {
      bool* flag = nullptr;
      switch (text_[p]) {
        case '-':
          on = false;
          continue;
        case 'i':
        case 'I':
          flag = &updated.i;
          break;
        case 'r':
        case 'R':
          flag = &updated.r;
          break;
        case 's':
        case 'S':
          flag = &updated.s;
          break;
        case 'g':
        case 'G':
          flag = &updated.g;
          break;
        case 'm':
        case 'M':
          flag = &updated.m;
          break;
        case 'x':
        case 'X':
          flag = &updated.x;
          break;
        default:
          Fail(regex_errors::kUnrecognizedModifier, close);
      }
      *flag = on;
    }
    modifiers_ = updated;
    pos_ = close + 1;
  }

  // pos_ is at the backslash, outside a class.
  bool ParseEscape(Atom& atom) {
    if (!HasAhead(1)) Fail(regex_errors::kTrailingBackslash, text_.size());
    const char c = Peek(1);
    pos_ += 2;
    switch (c) {
      case 'd':
        MakeSet(atom, kDigits);
        return true;
      case 'D':
        MakeSet(atom, ~kDigits);
        return true;
      case 'w':
        MakeSet(atom, kWordChars);
        return true;
      case 'W':
        MakeSet(atom, ~kWordChars);
        return true;
      case 's':
        MakeSet(atom, kSpaceChars);
        return true;
      case 'S':
        MakeSet(atom, ~kSpaceChars);
        return true;
      case 'b':
        atom.kind = AtomKind::WordBoundary;
        return false;
      case 'B':
        atom.kind = AtomKind::NotWordBoundary;
        return false;
      case 'A':
        atom.kind = AtomKind::InputStart;
        return false;
      case 'Z':
        atom.kind = AtomKind::InputEnd;
        return false;
      case 'x':
        MakeLiteral(atom, ParseHexCode());
        return true;
      default:
        break;
    }
    if (c >= '1' && c <= '9') {
      atom.kind = AtomKind::Backreference;
      atom.group = c - '0';
      atom.caseless = modifiers_.i;
      return true;
    }
    const std::optional<std::uint8_t> control = ControlEscape(c);
    MakeLiteral(atom, control ? *control : static_cast<std::uint8_t>(c));
    return true;
  }

  // pos_ is just after "\x".
  std::uint8_t ParseHexCode() {
    if (!AtEnd() && Peek() == '{') {
      ++pos_;
      unsigned value = 0;
      while (!AtEnd() && Peek() != '}') {
        const int digit = HexValue(Peek());
        if (digit < 0) Fail(regex_errors::kBadHexDigit, pos_);
        value = value * 16 + static_cast<unsigned>(digit);
        if (value > 0xFF) Fail(regex_errors::kHexCodeTooBig, pos_);
        ++pos_;
      }
      if (AtEnd()) Fail(regex_errors::kNoHexCode, text_.size());
      ++pos_;
      return static_cast<std::uint8_t>(value);
    }
    if (!HasAhead(1)) Fail(regex_errors::kNoHexCode, text_.size());
    const int high = HexValue(Peek());
    if (high < 0) Fail(regex_errors::kBadHexDigit, pos_);
    const int low = HexValue(Peek(1));
    if (low < 0) Fail(regex_errors::kBadHexDigit, pos_ + 1);
    pos_ += 2;
    return static_cast<std::uint8_t>(high * 16 + low);
  }

  // One member of a class: a single byte, or a set (\d, \s, \w).
  struct ClassMember {
    bool isSet = false;
    std::uint8_t byte = 0;
    ByteSet set;
  };

  ClassMember ParseClassMember() {
    ClassMember member;
    const char c = Peek();
    if (c != '\\') {
      ++pos_;
      member.byte = static_cast<std::uint8_t>(c);
      return member;
    }
    if (!HasAhead(1)) Fail(regex_errors::kClassTrailingBackslash, text_.size());
    const char escaped = Peek(1);
    pos_ += 2;
    switch (escaped) {
      case 'd':
        member.isSet = true;
        member.set = kDigits;
        return member;
      case 's':
        member.isSet = true;
        member.set = kSpaceChars;
        return member;
      case 'w':
        member.isSet = true;
        member.set = kWordChars;
        return member;
      case 'x':
        member.byte = ParseHexCode();
        return member;
      default:
        break;
    }
    const std::optional<std::uint8_t> control = ControlEscape(escaped);
    member.byte = control ? *control : static_cast<std::uint8_t>(escaped);
    return member;
  }

  static bool IsSetEscapeLetter(char c) {
    return c == 'd' || c == 'D' || c == 's' || c == 'S' || c == 'w' || c == 'W';
  }

  // The "-" at pos_ makes a range with the member before it.
  bool RangeFollows() const {
    if (Peek() != '-' || !HasAhead(1) || Peek(1) == ']') return false;
    return !(Peek(1) == '\\' && HasAhead(2) && IsSetEscapeLetter(Peek(2)));
  }

  void AddRange(ByteSet& members, int from, int to) {
    if (from > to) {
      if (modifiers_.r && from == kCyrillicLowerFirst && to == kCyrillicUpperLast) {
        members |= RangeSet(kCyrillicLowerFirst, kCyrillicLowerLast);
        members |= RangeSet(kCyrillicUpperFirst, kCyrillicUpperLast);
        members.set(kCyrillicLowerYo);
        members.set(kCyrillicUpperYo);
        return;
      }
      Fail(regex_errors::kInvalidRange, pos_);
    }
    members |= RangeSet(from, to);
    if (!modifiers_.r) return;
    if (from == kCyrillicLowerFirst && to == kCyrillicLowerLast) members.set(kCyrillicLowerYo);
    if (from == kCyrillicUpperFirst && to == kCyrillicUpperLast) members.set(kCyrillicUpperYo);
  }

  void ParseClass(Atom& atom) {
    ++pos_;
    bool negated = false;
    if (!AtEnd() && Peek() == '^') {
      negated = true;
      ++pos_;
    }
    ByteSet members;
    bool first = true;
    for (;;) {
      if (AtEnd()) Fail(regex_errors::kUnclosedClass, text_.size());
      if (Peek() == ']' && !first) {
        ++pos_;
        break;
      }
      first = false;
      const ClassMember member = ParseClassMember();
      if (member.isSet) {
        members |= member.set;
      } else if (!AtEnd() && RangeFollows()) {
        ++pos_;
        const ClassMember end = ParseClassMember();
        AddRange(members, member.byte, end.byte);
      } else {
        members.set(member.byte);
      }
    }
    if (modifiers_.i) {
      ByteSet swapped;
      for (int c = 0; c < 256; ++c) {
        if (members.test(c)) swapped.set(cases_.Swap(static_cast<std::uint8_t>(c)));
      }
      members |= swapped;
    }
    MakeSet(atom, negated ? ~members : members);
  }

  std::string_view text_;
  const regex_case::CaseMap& cases_;
  std::size_t pos_ = 0;
  int groupCount_ = 0;
  Modifiers modifiers_;
};

}  // namespace

ParsedExpression Parse(std::string_view expression, const regex_case::CaseMap& cases) {
  return Parser(expression, cases).Run();
}

}  // namespace regex_parser
