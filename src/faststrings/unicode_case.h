// Letter case beyond ASCII for UTF-8 text: Unicode's simple case folding, from a
// table made at build time out of the Unicode data files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace unicode_case {

// The code point a letter folds to (the letter itself when it has no folding).
char32_t Folded(char32_t code);

// Every code point that folds to the same as code, code among them, in increasing
// order: for "k" that is "K", "k" and the Kelvin sign.
std::vector<char32_t> CaseForms(char32_t code);

// One character of a search and the byte strings it matches: the UTF-8 bytes of
// its case forms, or the byte itself for an invalid byte, which matches only
// itself. No form is the start of another (UTF-8 is a prefix-free code), so at a
// place in a text at most one form matches.
struct SearchUnit {
  std::vector<std::string> forms;
};

// The search cut into characters with their case forms.
std::vector<SearchUnit> FoldedUnits(std::string_view search);

// Whether a search holds bytes beyond ASCII (so that folding it by bytes could
// miss case forms).
bool HasNonAscii(std::string_view search);

}  // namespace unicode_case
