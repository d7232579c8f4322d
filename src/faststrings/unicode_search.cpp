#include "faststrings/unicode_search.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <string>

#include "base/exceptions.h"

namespace {

// The matching library finds the start of a match from the first this many
// characters of the search; the rest is compared here. The library's compiled
// patterns have a size limit, which a pattern this long stays well within.
constexpr std::size_t kLibraryUnits = 64;

std::string HexByte(unsigned char c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return std::string("\\x") + kDigits[c >> 4] + kDigits[c & 15];
}

// Every byte by its code, so that no byte of the search is read as syntax.
std::string EscapedBytes(std::string_view bytes) {
  std::string text;
  for (char c : bytes) text += HexByte(static_cast<unsigned char>(c));
  return text;
}

std::string UnitPattern(const unicode_case::SearchUnit& unit) {
  if (unit.forms.size() == 1) return EscapedBytes(unit.forms.front());
  std::string text = "(?:";
  for (std::size_t i = 0; i < unit.forms.size(); ++i) {
    if (i > 0) text += '|';
    text += EscapedBytes(unit.forms[i]);
  }
  return text + ")";
}

}  // namespace

bool NeedsUnicodeFolding(std::string_view search, CaseMode caseMode) {
  return caseMode == CaseMode::FoldedUnicode && unicode_case::HasNonAscii(search);
}

// The library's pattern of the first characters, compiled for bytes (not UTF
// mode: invalid bytes must stay matchable).
struct UnicodeFoldedSearch::Matcher {
  explicit Matcher(const std::string& pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                         PCRE2_NEVER_UTF | PCRE2_NEVER_UCP, &error, &offset, nullptr);
    if (code == nullptr) throw Exception("Search text too long");
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // without it the interpreter runs it
    data = pcre2_match_data_create(1, nullptr);
    if (data == nullptr) {
      pcre2_code_free(code);
      throw EOutOfMemory();
    }
  }
  ~Matcher() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
};

UnicodeFoldedSearch::UnicodeFoldedSearch(std::string_view search)
    : units_(unicode_case::FoldedUnits(search)) {
  std::string pattern;
  for (std::size_t i = 0; i < units_.size(); ++i) {
    std::size_t shortest = units_[i].forms.front().size();
    std::size_t longest = shortest;
    for (const std::string& form : units_[i].forms) {
      shortest = std::min(shortest, form.size());
      longest = std::max(longest, form.size());
    }
    shortest_ += shortest;
    longest_ += longest;
    if (i < kLibraryUnits) pattern += UnitPattern(units_[i]);
  }
  matcher_ = std::make_unique<Matcher>(pattern);
}

UnicodeFoldedSearch::~UnicodeFoldedSearch() = default;

std::size_t UnicodeFoldedSearch::TailLength(std::string_view text, std::size_t at,
                                            std::size_t first) const {
  const std::size_t start = at;
  for (std::size_t i = first; i < units_.size(); ++i) {
    const std::string_view rest = text.substr(at);
    const auto& forms = units_[i].forms;
    const auto form = std::find_if(forms.begin(), forms.end(), [rest](const std::string& f) {
      return rest.substr(0, f.size()) == f;
    });
    if (form == forms.end()) return std::string_view::npos;
    at += form->size();
  }
  return at - start;
}

bool UnicodeFoldedSearch::Find(std::string_view text, std::size_t from, Match& match) const {
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  while (from < text.size()) {
    const int result =
        pcre2_match(matcher_->code, subject, text.size(), from, 0, matcher_->data, nullptr);
    if (result == PCRE2_ERROR_NOMATCH) return false;
    if (result < 0) throw Exception("Search failed");
    const PCRE2_SIZE* range = pcre2_get_ovector_pointer(matcher_->data);
    const std::size_t tail = TailLength(text, range[1], std::min(units_.size(), kLibraryUnits));
    if (tail != std::string_view::npos) {
      match.offset = range[0];
      match.length = range[1] - range[0] + tail;
      return true;
    }
    from = range[0] + 1;
  }
  return false;
}
