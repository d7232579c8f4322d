// The subject as the linear library sees it when an expression has "^" or "$"
// under m. That library knows LF as its only line separator and has no
// look-around, while the language's line anchors never fire between the CR and
// the LF of a pair. So every CR and LF of the subject is written as a token of
// four bytes, and the lowering writes every CR or LF it matches as such a token:
//
//   first byte   LF when a line ends just before the break, else NUL
//   second byte  CR
//   third byte   CR for a CR, NUL for an LF
//   fourth byte  LF when a line starts just after the break, else NUL
//
// The library's own "^" (after an LF) and "$" (before an LF) then fire at a
// token's edge exactly where the language's anchors do. Every other byte stands
// for itself; the subject holds no NUL (it is cut at the first), and no other
// byte of the view is NUL, CR or LF, so a pattern that starts at a token's edge
// or outside tokens meets every token whole and stays on edges. A match that
// starts inside a token is none of the language's (RE2 tries every offset); the
// search then goes on after that token, and since RE2 finds the leftmost match,
// no match at an edge before it was missed. Word boundaries see only non-word
// bytes around a token, as around the CR or LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace regex_lines {

constexpr std::size_t kTokenLength = 4;
constexpr char kLineMark = '\n';
constexpr char kNoMark = '\0';
constexpr char kTokenSecond = '\r';
constexpr char kCrThird = '\r';
constexpr char kLfThird = '\0';

class LineBreakView {
 public:
  explicit LineBreakView(std::string_view subject);

  // The bytes to search; the subject itself when it holds no CR or LF.
  std::string_view Text() const { return identity_ ? subject_ : std::string_view(text_); }

  std::size_t ToView(std::size_t subjectOffset) const;
  // For an offset at a token's edge or outside tokens.
  std::size_t ToSubject(std::size_t viewOffset) const;
  // The view offset of the next token edge at or after viewOffset.
  std::size_t NextEdge(std::size_t viewOffset) const;

 private:
  // The index of the first break whose token ends after viewOffset.
  std::size_t BreaksEndingBy(std::size_t viewOffset) const;

  std::string_view subject_;
  bool identity_ = true;
  std::string text_;
  std::vector<std::size_t> breaks_;  // subject offsets of the CR and LF bytes
};

}  // namespace regex_lines
