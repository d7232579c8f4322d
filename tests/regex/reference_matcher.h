// A slow, plain backtracking matcher for a subset of the expression language,
// written from the language description alone, against which the real engine is
// compared. It takes only what the differential test generates: literal bytes,
// ".", classes without escapes, groups, "|", all quantifiers, "^", "$", "\b",
// "\1" to "\9" and modifier switches.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

namespace reference {

// Start and end (0-based, end exclusive) of each entry; -1 when unset.
struct Span {
  long start = -1;
  long end = -1;
};
using Captures = std::vector<Span>;

class Matcher {
 public:
  Matcher(std::string_view expression, platform::CodePage codePage);
  ~Matcher();

  // False when an operand that consumes nothing is repeated with "*", "+" or braces.
  bool Valid() const { return valid_; }
  int GroupCount() const { return groupCount_; }

  // The first match starting at or after start, with every entry.
  std::optional<Captures> Search(std::string_view input, std::size_t start) const;

  // Every match replaced by the template, which may hold "$0" to "$9".
  std::string Replace(std::string_view input, std::string_view templ) const;

  struct Alternation;

 private:
  bool valid_ = true;
  int groupCount_ = 0;
  Alternation* root_ = nullptr;
  platform::CodePage codePage_ = platform::CodePage::AsciiOnly;
};

}  // namespace reference
