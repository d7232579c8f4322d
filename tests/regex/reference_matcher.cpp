#include "reference_matcher.h"

#include <bitset>
#include <functional>
#include <memory>

namespace reference {

namespace {

enum class Kind {
  Byte,
  Set,
  Any,
  AnyButBreak,
  Group,
  Ref,
  Start,
  End,
  LineStart,
  LineEnd,
  Boundary,
  Empty
};

struct Piece;
using Branch = std::vector<Piece>;

}  // namespace

struct Matcher::Alternation {
  std::vector<Branch> branches;
};

namespace {

struct Piece {
  Kind kind = Kind::Empty;
  unsigned char byte = 0;
  bool caseless = false;
  std::bitset<256> set;
  int group = 0;
  std::shared_ptr<Matcher::Alternation> body;
  bool repeated = false;
  unsigned min = 1, max = 1;  // max 0xFFFFFFFF: no upper bound
  bool lazy = false;
};

constexpr unsigned kNoMax = 0xFFFFFFFFu;

struct Flags {
  bool i = false, s = true, g = true, m = false;
};

class Reader {
 public:
  Reader(std::string_view text, platform::CodePage codePage) : text_(text), codePage_(codePage) {}

  Matcher::Alternation* ReadAll(bool& valid, int& groups) {
    auto* root = new Matcher::Alternation(ReadAlternation().first);
    valid = valid_;
    groups = groups_;
    return root;
  }

 private:
  unsigned char Swap(unsigned char c) const {
    const unsigned char upper = platform::UpperCaseByte(codePage_, c);
    return upper != c ? upper : platform::LowerCaseByte(codePage_, c);
  }

  // The alternation and whether every alternative consumes input.
  std::pair<Matcher::Alternation, bool> ReadAlternation() {
    Matcher::Alternation alternation;
    bool allConsume = true;
    for (;;) {
      Branch branch;
      bool consumes = false;
      while (at_ < text_.size() && text_[at_] != '|' && text_[at_] != ')') {
        bool pieceConsumes = false;
        branch.push_back(ReadPiece(pieceConsumes));
        consumes = consumes || pieceConsumes;
      }
      allConsume = allConsume && consumes;
      alternation.branches.push_back(std::move(branch));
      if (at_ < text_.size() && text_[at_] == '|') {
        ++at_;
        continue;
      }
      return {std::move(alternation), allConsume};
    }
  }

  Piece ReadPiece(bool& consumes) {
    Piece piece = ReadAtom(consumes);
    if (at_ >= text_.size()) return piece;
    const char c = text_[at_];
    unsigned min = 0, max = 0;
    if (c == '*') {
      min = 0, max = kNoMax;
    } else if (c == '+') {
      min = 1, max = kNoMax;
    } else if (c == '?') {
      min = 0, max = 1;
    } else if (c == '{') {
      // Only well-formed braces are generated.
      std::size_t close = text_.find('}', at_);
      std::string inside(text_.substr(at_ + 1, close - at_ - 1));
      std::size_t comma = inside.find(',');
      min = static_cast<unsigned>(std::stoul(inside.substr(0, comma)));
      if (comma == std::string::npos) {
        max = min;
      } else if (comma + 1 == inside.size()) {
        max = kNoMax;
      } else {
        max = static_cast<unsigned>(std::stoul(inside.substr(comma + 1)));
      }
      at_ = close;
    } else {
      return piece;
    }
    if (c != '?' && !consumes) valid_ = false;
    ++at_;
    piece.repeated = true;
    piece.min = min;
    piece.max = max;
    if (at_ < text_.size() && text_[at_] == '?') {
      piece.lazy = true;
      ++at_;
    }
    if (!flags_.g) piece.lazy = true;
    if (c == '*' || c == '?') consumes = false;
    if (c == '{') consumes = max > 0;
    return piece;
  }

  Piece ReadAtom(bool& consumes) {
    Piece piece;
    consumes = true;
    const char c = text_[at_++];
    switch (c) {
      case '.':
        piece.kind = flags_.s ? Kind::Any : Kind::AnyButBreak;
        return piece;
      case '^':
        piece.kind = flags_.m ? Kind::LineStart : Kind::Start;
        consumes = false;
        return piece;
      case '$':
        piece.kind = flags_.m ? Kind::LineEnd : Kind::End;
        consumes = false;
        return piece;
      case '[':
        return ReadClass();
      case '(':
        return ReadParenthesis(consumes);
      case '\\': {
        const char e = text_[at_++];
        if (e == 'b') {
          piece.kind = Kind::Boundary;
          consumes = false;
        } else {
          piece.kind = Kind::Ref;
          piece.group = e - '0';
          piece.caseless = flags_.i;
        }
        return piece;
      }
      default:
        piece.kind = Kind::Byte;
        piece.byte = static_cast<unsigned char>(c);
        piece.caseless = flags_.i;
        return piece;
    }
  }

  Piece ReadClass() {
    Piece piece;
    piece.kind = Kind::Set;
    bool negated = false;
    if (text_[at_] == '^') {
      negated = true;
      ++at_;
    }
    std::bitset<256> members;
    while (text_[at_] != ']') {
      const auto from = static_cast<unsigned char>(text_[at_++]);
      unsigned char to = from;
      if (text_[at_] == '-' && text_[at_ + 1] != ']') {
        to = static_cast<unsigned char>(text_[at_ + 1]);
        at_ += 2;
      }
      for (unsigned b = from; b <= to; ++b) {
        members.set(b);
        if (flags_.i) members.set(Swap(static_cast<unsigned char>(b)));
      }
    }
    ++at_;
    piece.set = negated ? ~members : members;
    return piece;
  }

  Piece ReadParenthesis(bool& consumes) {
    Piece piece;
    if (text_[at_] == '?') {
      bool on = true;
      for (++at_; text_[at_] != ')'; ++at_) {
        switch (text_[at_]) {
          case '-':
            on = false;
            break;
          case 'i':
            flags_.i = on;
            break;
          case 's':
            flags_.s = on;
            break;
          case 'g':
            flags_.g = on;
            break;
          case 'm':
            flags_.m = on;
            break;
        }
      }
      ++at_;
      consumes = false;
      return piece;
    }
    piece.kind = Kind::Group;
    piece.group = ++groups_;
    const Flags saved = flags_;
    auto [body, allConsume] = ReadAlternation();
    ++at_;  // ")"
    flags_ = saved;
    piece.body = std::make_shared<Matcher::Alternation>(std::move(body));
    consumes = allConsume;
    return piece;
  }

  std::string_view text_;
  platform::CodePage codePage_;
  std::size_t at_ = 0;
  Flags flags_;
  bool valid_ = true;
  int groups_ = 0;
};

bool IsWordByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Continuation-passing backtracking: each step calls what follows it and reports
// whether the whole expression completed.
class Run {
 public:
  using Next = std::function<bool(std::size_t, const Captures&)>;

  Run(std::string_view input, platform::CodePage codePage) : in_(input), codePage_(codePage) {}

  bool Alternation(const Matcher::Alternation& alternation, std::size_t at, const Captures& caps,
                   const Next& next) const {
    for (const Branch& branch : alternation.branches) {
      if (Sequence(branch, 0, at, caps, next)) return true;
    }
    return false;
  }

 private:
  unsigned char Swap(unsigned char c) const {
    const unsigned char upper = platform::UpperCaseByte(codePage_, c);
    return upper != c ? upper : platform::LowerCaseByte(codePage_, c);
  }
  bool SameByte(unsigned char pattern, unsigned char c, bool caseless) const {
    return c == pattern || (caseless && c == Swap(pattern));
  }

  bool Sequence(const Branch& branch, std::size_t index, std::size_t at, const Captures& caps,
                const Next& next) const {
    if (index == branch.size()) return next(at, caps);
    return PieceMatch(branch[index], at, caps, [&](std::size_t after, const Captures& c) {
      return Sequence(branch, index + 1, after, c, next);
    });
  }

  bool PieceMatch(const Piece& piece, std::size_t at, const Captures& caps,
                  const Next& next) const {
    if (!piece.repeated) return Atom(piece, at, caps, next);
    return Loop(piece, 0, at, caps, next);
  }

  // An iteration of an unbounded repetition that consumed nothing ends the
  // repetition (once the minimum is reached), so that it cannot go on forever.
  bool Loop(const Piece& piece, unsigned count, std::size_t at, const Captures& caps,
            const Next& next) const {
    auto more = [&]() {
      if (count >= piece.max) return false;
      return Atom(piece, at, caps, [&](std::size_t after, const Captures& c) {
        const unsigned done = count + 1;
        if (after == at && piece.max == kNoMax && done >= std::max(piece.min, 1u)) {
          return next(after, c);
        }
        return Loop(piece, done, after, c, next);
      });
    };
    if (count < piece.min) return more();
    if (piece.lazy) return next(at, caps) || more();
    return more() || next(at, caps);
  }

  bool Atom(const Piece& piece, std::size_t at, const Captures& caps, const Next& next) const {
    const std::size_t n = in_.size();
    const auto byteAt = [&](std::size_t p) { return static_cast<unsigned char>(in_[p]); };
    switch (piece.kind) {
      case Kind::Byte:
        return at < n && SameByte(piece.byte, byteAt(at), piece.caseless) && next(at + 1, caps);
      case Kind::Set:
        return at < n && piece.set.test(byteAt(at)) && next(at + 1, caps);
      case Kind::Any:
        return at < n && next(at + 1, caps);
      case Kind::AnyButBreak:
        return at < n && in_[at] != '\r' && in_[at] != '\n' && next(at + 1, caps);
      case Kind::Start:
        return at == 0 && next(at, caps);
      case Kind::End:
        return at == n && next(at, caps);
      case Kind::LineStart: {
        const bool ok =
            at == 0 || in_[at - 1] == '\n' || (in_[at - 1] == '\r' && (at == n || in_[at] != '\n'));
        return ok && next(at, caps);
      }
      case Kind::LineEnd: {
        const bool ok =
            at == n || in_[at] == '\r' || (in_[at] == '\n' && (at == 0 || in_[at - 1] != '\r'));
        return ok && next(at, caps);
      }
      case Kind::Boundary: {
        const bool before = at > 0 && IsWordByte(byteAt(at - 1));
        const bool after = at < n && IsWordByte(byteAt(at));
        return before != after && next(at, caps);
      }
      case Kind::Empty:
        return next(at, caps);
      case Kind::Group:
        return Alternation(*piece.body, at, caps, [&](std::size_t after, const Captures& c) {
          Captures updated = c;
          updated[piece.group] = Span{static_cast<long>(at), static_cast<long>(after)};
          return next(after, updated);
        });
      case Kind::Ref: {
        if (piece.group >= static_cast<int>(caps.size())) return false;
        const Span span = caps[piece.group];
        if (span.start < 0) return false;
        const std::size_t length = static_cast<std::size_t>(span.end - span.start);
        if (at + length > n) return false;
        for (std::size_t k = 0; k < length; ++k) {
          if (!SameByte(byteAt(span.start + k), byteAt(at + k), piece.caseless)) return false;
        }
        return next(at + length, caps);
      }
    }
    return false;
  }

  std::string_view in_;
  platform::CodePage codePage_;
};

}  // namespace

Matcher::Matcher(std::string_view expression, platform::CodePage codePage) {
  Reader reader(expression, codePage);
  root_ = reader.ReadAll(valid_, groupCount_);
  codePage_ = codePage;
}

Matcher::~Matcher() {
  delete root_;
}

std::optional<Captures> Matcher::Search(std::string_view input, std::size_t start) const {
  const Run run(input, codePage_);
  for (std::size_t at = start; at <= input.size(); ++at) {
    Captures found;
    const Captures empty(static_cast<std::size_t>(groupCount_) + 1);
    const bool matched =
        run.Alternation(*root_, at, empty, [&](std::size_t end, const Captures& c) {
          found = c;
          found[0] = Span{static_cast<long>(at), static_cast<long>(end)};
          return true;
        });
    if (matched) return found;
  }
  return std::nullopt;
}

std::string Matcher::Replace(std::string_view input, std::string_view templ) const {
  std::string result;
  std::size_t copied = 0;
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::optional<Captures> match = Search(input, start);
    if (!match) break;
    const Span whole = (*match)[0];
    result.append(input.substr(copied, whole.start - copied));
    for (std::size_t k = 0; k < templ.size(); ++k) {
      if (templ[k] == '$' && k + 1 < templ.size() && templ[k + 1] >= '0' && templ[k + 1] <= '9') {
        const std::size_t entry = static_cast<std::size_t>(templ[++k] - '0');
        if (entry < match->size() && (*match)[entry].start >= 0) {
          const Span span = (*match)[entry];
          result.append(input.substr(span.start, span.end - span.start));
        }
      } else {
        result += templ[k];
      }
    }
    copied = static_cast<std::size_t>(whole.end);
    start = whole.start == whole.end ? whole.end + 1 : whole.end;
  }
  result.append(input.substr(copied));
  return result;
}

}  // namespace reference
