#include "faststrings/unicode_case.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "faststrings/case_folding.inc"
#include "platform/utf8.h"

namespace unicode_case {

namespace {

struct Folding {
  char32_t from;
  char32_t to;
};

// Ordered by `from`.
constexpr std::array<Folding, QUORVE_CASE_FOLDING_COUNT> kByLetter = {
    {QUORVE_CASE_FOLDING_BY_LETTER}};
// The same pairs ordered by `to`, then `from`.
constexpr std::array<Folding, QUORVE_CASE_FOLDING_COUNT> kByFolded = {
    {QUORVE_CASE_FOLDING_BY_FOLDED}};

SearchUnit UnitOfCharacter(char32_t code) {
  SearchUnit unit;
  for (char32_t form : CaseForms(code)) unit.forms.push_back(platform::Utf8Bytes(form));
  return unit;
}

}  // namespace

char32_t Folded(char32_t code) {
  const auto found = std::lower_bound(kByLetter.begin(), kByLetter.end(), code,
                                      [](const Folding& f, char32_t c) { return f.from < c; });
  return found != kByLetter.end() && found->from == code ? found->to : code;
}

std::vector<char32_t> CaseForms(char32_t code) {
  const char32_t folded = Folded(code);
  std::vector<char32_t> forms{folded};
  const auto first = std::lower_bound(kByFolded.begin(), kByFolded.end(), folded,
                                      [](const Folding& f, char32_t c) { return f.to < c; });
  for (auto it = first; it != kByFolded.end() && it->to == folded; ++it) forms.push_back(it->from);
  std::sort(forms.begin(), forms.end());
  forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
  return forms;
}

std::vector<SearchUnit> FoldedUnits(std::string_view search) {
  std::vector<SearchUnit> units;
  while (!search.empty()) {
    char32_t code = 0;
    const long length = platform::Utf8CharacterAt(search, code);
    if (length > 0) {
      units.push_back(UnitOfCharacter(code));
      search.remove_prefix(static_cast<std::size_t>(length));
      continue;
    }
    for (long i = 0; i < -length; ++i) units.push_back(SearchUnit{{std::string(1, search[i])}});
    search.remove_prefix(static_cast<std::size_t>(-length));
  }
  return units;
}

bool HasNonAscii(std::string_view search) {
  return std::any_of(search.begin(), search.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace unicode_case
