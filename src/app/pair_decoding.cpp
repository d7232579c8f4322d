#include "app/pair_decoding.h"

#include <cstddef>

#include "app/settings.h"
#include "faststrings/fast_strings.h"
#include "faststrings/replace_all.h"
#include "platform/files.h"
#include "text/line_text.h"
#include "text/string_list.h"

namespace {

constexpr std::string_view kDoubledBackslash = "\\\\";

// Stand-in for a doubled backslash while the other escapes are decoded: 0x1C and
// then 0x1D bytes. A longer one is used when the text already holds the short one
// (or its decoding would produce it), so no byte of the text is ever mistaken for it.
std::string MakePlaceholder(std::size_t length) {
  std::string placeholder(length, '\x1D');
  placeholder[0] = '\x1C';
  return placeholder;
}

// Placeholders never overlap one another (only their first byte is 0x1C).
std::size_t CountOccurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

bool IsCapitalHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int HexDigitValue(char c) {
  return c <= '9' ? c - '0' : c - 'A' + 10;
}

std::string HexByte(int value) {
  return std::string(1, static_cast<char>(value));
}

std::string SpaceRun(int value) {
  return std::string(static_cast<std::size_t>(value), ' ');
}

// The \x and \s loop: each escape (prefix + two capital hex digits) met left to
// right is replaced, together with every case form of it anywhere in the text, by
// what expand makes of its value. The search then goes on right after the bytes
// produced for the hit, so a produced backslash never starts a new escape here, and
// escapes removed before the hit do not make the search skip text.
std::string DecodeHexEscapes(std::string text, std::string_view prefix,
                             std::string (*expand)(int)) {
  std::size_t from = 1;
  for (std::size_t hit = SkipPos(text, prefix, from); hit != 0; hit = SkipPos(text, prefix, from)) {
    std::size_t at = hit - 1;
    bool valid =
        at + 3 < text.size() && IsCapitalHexDigit(text[at + 2]) && IsCapitalHexDigit(text[at + 3]);
    if (!valid) {
      from = hit + 1;
      continue;
    }
    std::string escape = text.substr(at, 4);
    std::string produced = expand(HexDigitValue(text[at + 2]) * 16 + HexDigitValue(text[at + 3]));
    // No occurrence can straddle the hit's first byte (a backslash appears in an
    // escape only as its first byte), so the two halves give the whole-text result.
    std::string before =
        ReplaceAll(std::string_view(text).substr(0, at), escape, produced, CaseMode::Folded);
    std::string after =
        ReplaceAll(std::string_view(text).substr(at), escape, produced, CaseMode::Folded);
    from = before.size() + produced.size() + 1;
    text = std::move(before);
    text += after;
  }
  return text;
}

std::string DecodePlainEscapes(std::string text) {
  text = DecodeHexEscapes(std::move(text), "\\x", HexByte);
  text = DecodeHexEscapes(std::move(text), "\\s", SpaceRun);
  text = ReplaceAll(text, "\\r", "\r", CaseMode::Folded);
  text = ReplaceAll(text, "\\n", "\n", CaseMode::Folded);
  text = ReplaceAll(text, "\\b", "\b", CaseMode::Folded);
  text = ReplaceAll(text, "\\t", "\t", CaseMode::Folded);
  text = ReplaceAll(text, "\\z", "\x1A", CaseMode::Folded);
  text = ReplaceAll(text, "\\'", "'", CaseMode::Folded);
  return text;
}

// Everything after the doubled backslash became the placeholder.
std::string DecodeWithPlaceholder(std::string text) {
  text = ReplaceAll(text, "\\!", "\"", CaseMode::Folded);
  text = ReplaceAll(text, "\\q", "\"", CaseMode::Folded);
  text = ReplaceAll(text, "\\\"", "\"", CaseMode::Folded);
  text = ReplaceAll(text, "\\e", "=", CaseMode::Folded);
  // The expression engine gets the other escapes as typed.
  if (!Settings.RegexMode) text = DecodePlainEscapes(std::move(text));
  return text;
}

// Wildcards make the existence test match other files, which could then not be
// opened under the name given; such a text is never a file name.
bool NamesExistingFile(std::string_view text) {
  if (text.find_first_of("*?") != std::string_view::npos) return false;
  return platform::RegularFileExists(text);
}

}  // namespace

std::string DecodeEscapes(std::string_view text) {
  for (std::size_t length = 2;; ++length) {
    std::string placeholder = MakePlaceholder(length);
    if (text.find(placeholder) != std::string_view::npos) continue;
    std::string decoded = ReplaceAll(text, kDoubledBackslash, placeholder, CaseMode::Folded);
    std::size_t doubled = CountOccurrences(decoded, placeholder);
    decoded = DecodeWithPlaceholder(std::move(decoded));
    if (CountOccurrences(decoded, placeholder) != doubled) continue;
    // A regular expression keeps the two backslashes: a literal backslash to the
    // engine, one backslash from a template.
    std::string_view backslash = Settings.RegexMode ? kDoubledBackslash : "\\";
    return ReplaceAll(decoded, placeholder, backslash, CaseMode::Exact);
  }
}

std::string FileTextOr(std::string_view text) {
  if (!NamesExistingFile(text)) return std::string(text);
  TStringList lines;
  LoadLines(lines, std::string(text));
  return JoinLines(lines);
}

std::string DecodeFileOrText(std::string_view value) {
  return DecodeEscapes(FileTextOr(value));
}

void AddPair(std::string_view search, std::string_view replace) {
  std::string searchText = FileTextOr(search);
  std::string replaceText = FileTextOr(replace);
  searchText = DecodeEscapes(searchText);
  replaceText = DecodeEscapes(replaceText);
  SearchList->Add(std::move(searchText));
  ReplaceList->Add(std::move(replaceText));
}
