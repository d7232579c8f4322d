// Searches folded by Unicode's simple case folding: the case forms of letters of
// two, three and four bytes, forms of another length than the search's, invalid
// bytes, and the same results as a character-by-character reference.
#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <string>
#include <vector>

#include "faststrings/replace_all.h"
#include "faststrings/unicode_case.h"
#include "faststrings/unicode_search.h"
#include "faststrings/upper_table_guard.h"
#include "platform/utf8.h"

namespace {

using namespace std::string_literals;
using unicode_case::CaseForms;
using unicode_case::Folded;

struct FormsCase {
  char32_t letter;
  std::vector<char32_t> forms;
};

TEST(UnicodeCaseTest, CaseFormsOfLettersAcrossScriptsAndLengths) {
  const std::vector<FormsCase> cases = {
      {U'a', {U'A', U'a'}},
      {U'k', {U'K', U'k', U'\u212A'}},  // Kelvin sign: three bytes for one
      {U'\u212A', {U'K', U'k', U'\u212A'}},
      {U's', {U'S', U's', U'\u017F'}},                  // long s: two bytes for one
      {U'\u00E9', {U'\u00C9', U'\u00E9'}},              // e acute
      {U'\u00DF', {U'\u00DF', U'\u1E9E'}},              // sharp s and its capital (3 bytes)
      {U'\u00E5', {U'\u00C5', U'\u00E5', U'\u212B'}},   // a ring and the Angstrom sign
      {U'\u03C3', {U'\u03A3', U'\u03C2', U'\u03C3'}},   // sigma, final sigma
      {U'\u0416', {U'\u0416', U'\u0436'}},              // Cyrillic zhe
      {U'\u10D0', {U'\u10D0', U'\u1C90'}},              // Georgian an, Mtavruli (3 bytes each)
      {U'\U00010400', {U'\U00010400', U'\U00010428'}},  // Deseret: four bytes
      {U'\u0130', {U'\u0130'}},                         // capital I with dot: no simple folding
      {U'1', {U'1'}},
      {U'\u20AC', {U'\u20AC'}},  // euro sign: no case
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaseForms(c.letter), c.forms) << static_cast<std::uint32_t>(c.letter);
    for (char32_t form : c.forms) EXPECT_EQ(Folded(form), Folded(c.letter));
  }
}

TEST(UnicodeCaseTest, EveryFoldingIsClosed) {
  // Each form's forms are the same set, for every letter of the first planes.
  for (char32_t code = 0; code < 0x20000; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::vector<char32_t> forms = CaseForms(code);
    ASSERT_FALSE(forms.empty());
    ASSERT_TRUE(std::find(forms.begin(), forms.end(), code) != forms.end())
        << static_cast<std::uint32_t>(code);
    if (forms.size() > 1) {
      for (char32_t form : forms)
        ASSERT_EQ(CaseForms(form), forms) << static_cast<std::uint32_t>(code);
    }
  }
}

TEST(UnicodeCaseTest, UnitsOfASearchKeepInvalidBytesAsThemselves) {
  // a-umlaut, x, a byte that never starts a character, a lead byte without its
  // continuation, a three-byte start cut short by "1".
  const auto units = unicode_case::FoldedUnits("\xC3\xA4x\xFF\xC3\xE2\x82"s + "1");
  const std::vector<std::vector<std::string>> expected = {
      {"\xC3\x84", "\xC3\xA4"}, {"X", "x"}, {"\xFF"}, {"\xC3"}, {"\xE2"}, {"\x82"}, {"1"}};
  ASSERT_EQ(units.size(), expected.size());
  for (std::size_t i = 0; i < units.size(); ++i) EXPECT_EQ(units[i].forms, expected[i]) << i;
}

struct ReplaceCase {
  std::string text;
  std::string search;
  std::string expected;  // with every match replaced by "_"
};

TEST(UnicodeFoldedReplaceTest, LettersMatchTheirCaseFormsOfAnyLength) {
  // clang-format off
  const std::vector<ReplaceCase> cases = {
      {"M\xC3\x9CLLER m\xC3\xBCller M\xC3\xBCLler", "m\xC3\xBCller", "_ _ _"},
      {"\xCE\xA3\xCE\xA3 \xCF\x83\xCF\x82", "\xCF\x83", "__ __"},          // sigma in 3 forms
      {"\xD0\x96\xD0\xB6", "\xD0\xB6", "__"},                             // Cyrillic
      {"\xE1\x83\x90\xE1\xB2\x90", "\xE1\x83\x90", "__"},                 // Georgian, 3 bytes
      {"\xF0\x90\x90\x80\xF0\x90\x90\xA8!", "\xF0\x90\x90\xA8", "__!"},   // Deseret, 4 bytes
      {"k\xC3\xA4 K\xC3\x84 \xE2\x84\xAA\xC3\xA4", "k\xC3\xA4", "_ _ _"}, // Kelvin sign
      {"\xC3\x9F \xE1\xBA\x9E", "\xE1\xBA\x9E", "_ _"},                   // 3-byte capital sharp s
      {"\xC5\xBF\xC3\xA9 S\xC3\x89", "s\xC3\xA9", "_ _"},                 // long s
      {"\xC3\x85 \xE2\x84\xAB \xC3\xA5", "\xC3\xA5", "_ _ _"},            // Angstrom sign
      {"\xC4\xB0 i I", "\xC4\xB0", "_ i I"},                              // no simple folding
      {"\xC3\xA4\xC3\xA4\xC3\xA4", "\xC3\x84\xC3\x84", "_\xC3\xA4"},      // no overlap
      {"x\xFF\xC3\xA9y X\xFF\xC3\x89Y", "x\xFF\xC3\xA9", "_y _Y"},        // invalid byte beside
      {"\xC3\xA9\xFF \xC3\xA9\xFE", "\xC3\x89\xFF", "_ \xC3\xA9\xFE"},
      {"\xC3\xA9\xC3 \xC3\x89\xC3\xA9", "\xC3\xA9\xC3", "_ _\xA9"},       // lone lead byte: itself
      {"a\xC3\x0A\xC3\xA4", "\xC3\x84", "a\xC3\x0A_"},
      {"\xC3\xA4\r\n\xC3\x84", "\xC3\x84\r\n\xC3\xA4", "_"},              // across a line end
      {"\xC3\xA4\0\xC3\x84"s, "\xC3\x84\0"s, "_\xC3\x84"},                // NUL is a byte
      {"k\xC3\xA4", "\xE2\x84\xAA\xC3\xA4", "_"},                         // shorter than search
      {"", "\xC3\xA4", ""},
      {"\xC3", "\xC3\xA4", "\xC3"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.search, "_", CaseMode::FoldedUnicode), c.expected)
        << testing::PrintToString(c.search) << " in " << testing::PrintToString(c.text);
    std::string inPlace = c.text;
    // Each match leaves one "_" (no text holds one of its own).
    const auto matches =
        static_cast<std::size_t>(std::count(c.expected.begin(), c.expected.end(), '_'));
    EXPECT_EQ(ReplaceAllInPlace(inPlace, c.search, "_", CaseMode::FoldedUnicode), matches);
    EXPECT_EQ(inPlace, c.expected);
    // Told to stop after the first match, the rest stays as it was.
    std::string first = c.text;
    EXPECT_EQ(ReplaceAllInPlace(first, c.search, "_", CaseMode::FoldedUnicode, 1),
              std::min<std::size_t>(matches, 1));
    if (matches > 0) {
      const std::size_t at = c.expected.find('_');
      EXPECT_EQ(first.substr(0, at + 1), c.expected.substr(0, at + 1));
      // What follows the first match is untouched: replacing in it gives the rest.
      EXPECT_EQ(ReplaceAll(first.substr(at + 1), c.search, "_", CaseMode::FoldedUnicode),
                c.expected.substr(at + 1));
    }
    const PreparedReplacement prepared(c.search, "_", CaseMode::FoldedUnicode);
    std::string output = "old";
    const bool replaced = prepared.ReplaceInto(output, c.text);
    EXPECT_EQ(replaced, c.expected != c.text);
    EXPECT_EQ(replaced ? output : c.text, c.expected);
  }
}

TEST(UnicodeFoldedReplaceTest, ExactAndByteFoldedModesIgnoreUnicodeCase) {
  const std::string text = "M\xC3\x9CLLER m\xC3\xBCller";
  EXPECT_EQ(ReplaceAll(text, "m\xC3\xBCller", "_", CaseMode::Folded), "M\xC3\x9CLLER _");
  EXPECT_EQ(ReplaceAll(text, "m\xC3\xBCller", "_", CaseMode::Exact), "M\xC3\x9CLLER _");
  EXPECT_EQ(ReplaceAll(text, "M\xC3\x9Cller", "_", CaseMode::Folded), "_ m\xC3\xBCller");
}

TEST(UnicodeFoldedReplaceTest, AsciiSearchesKeepTheByteSearch) {
  // An ASCII search folds only ASCII letters, as in every other locale.
  EXPECT_FALSE(NeedsUnicodeFolding("kelvin", CaseMode::FoldedUnicode));
  EXPECT_FALSE(NeedsUnicodeFolding("\xC3\xA4", CaseMode::Folded));
  EXPECT_FALSE(NeedsUnicodeFolding("\xC3\xA4", CaseMode::Exact));
  EXPECT_TRUE(NeedsUnicodeFolding("\xC3\xA4", CaseMode::FoldedUnicode));
  EXPECT_TRUE(NeedsUnicodeFolding("a\xFF", CaseMode::FoldedUnicode));
  EXPECT_EQ(ReplaceAll("K \xE2\x84\xAA k", "k", "_", CaseMode::FoldedUnicode), "_ \xE2\x84\xAA _");
}

TEST(UnicodeFoldedSearchTest, MatchLengthsAndBounds) {
  const UnicodeFoldedSearch search("k\xC3\xA4");  // k/K/Kelvin, then a-umlaut
  EXPECT_EQ(search.ShortestMatch(), 3u);
  EXPECT_EQ(search.LongestMatch(), 5u);
  const std::string text = "xx\xE2\x84\xAA\xC3\x84 K\xC3\xA4";
  UnicodeFoldedSearch::Match match;
  ASSERT_TRUE(search.Find(text, 0, match));
  EXPECT_EQ(match.offset, 2u);
  EXPECT_EQ(match.length, 5u);
  ASSERT_TRUE(search.Find(text, 3, match));
  EXPECT_EQ(match.offset, 8u);
  EXPECT_EQ(match.length, 3u);
  EXPECT_FALSE(search.Find(text, 9, match));
  EXPECT_FALSE(search.Find(text, text.size(), match));
  const PreparedReplacement prepared("k\xC3\xA4", "", CaseMode::FoldedUnicode);
  EXPECT_EQ(prepared.ShortestMatchLength(), 3u);
  EXPECT_EQ(prepared.FindIn(text), text.data() + 2);
  EXPECT_EQ(prepared.FindIn("k\xC3"), nullptr);
}

// A search longer than what the matching library is given: the rest is compared
// character by character, and a failed rest lets the search go on after the start.
TEST(UnicodeFoldedSearchTest, LongSearchesAreComparedWhole) {
  std::string word;
  for (int i = 0; i < 100; ++i) word += i % 3 == 0 ? "\xC3\xA4" : "b";
  std::string upper;
  for (int i = 0; i < 100; ++i) upper += i % 3 == 0 ? "\xC3\x84" : "B";
  const std::string nearMiss = upper.substr(0, upper.size() - 1) + "c";
  const std::string text = nearMiss + "-" + upper + "+" + word;
  EXPECT_EQ(ReplaceAll(text, word, "_", CaseMode::FoldedUnicode), nearMiss + "-_+_");
}

// The reference: character by character, valid characters compared by their
// folded code points, other bytes by themselves.
std::size_t ReferenceMatchLength(std::string_view text, std::size_t at, std::string_view search) {
  const std::size_t start = at;
  while (!search.empty()) {
    if (at >= text.size()) return std::string_view::npos;
    char32_t want = 0;
    const long wantLength = platform::Utf8CharacterAt(search, want);
    if (wantLength < 0) {
      if (text[at] != search[0]) return std::string_view::npos;
      ++at;
      search.remove_prefix(1);
      continue;
    }
    char32_t got = 0;
    const long gotLength = platform::Utf8CharacterAt(text.substr(at), got);
    if (gotLength < 0 || Folded(got) != Folded(want)) return std::string_view::npos;
    at += static_cast<std::size_t>(gotLength);
    search.remove_prefix(static_cast<std::size_t>(wantLength));
  }
  return at - start;
}

std::string ReferenceReplace(std::string_view text, std::string_view search,
                             std::string_view replace) {
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = ReferenceMatchLength(text, at, search);
    if (length == std::string_view::npos) {
      result += text[at++];
    } else {
      result += replace;
      at += length;
    }
  }
  return result;
}

std::string RandomPieces(std::mt19937& rng, const std::vector<std::string>& pieces,
                         std::size_t most) {
  std::uniform_int_distribution<std::size_t> count(0, most);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
  return text;
}

TEST(UnicodeFoldedReplaceTest, RandomTextsAgreeWithTheReference) {
  const std::vector<std::string> pieces = {"k",
                                           "K",
                                           "\xE2\x84\xAA",
                                           "s",
                                           "\xC5\xBF",
                                           "\xC3\xA4",
                                           "\xC3\x84",
                                           "\xCF\x82",
                                           "\xCE\xA3",
                                           "\xF0\x90\x90\x80",
                                           "\xF0\x90\x90\xA8",
                                           "\xFF",
                                           "\xC3",
                                           "\x84",
                                           "\r",
                                           "\n",
                                           "\0"s,
                                           "x"};
  std::mt19937 rng(1812);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomPieces(rng, pieces, 14);
    std::string search = RandomPieces(rng, pieces, 3);
    if (!NeedsUnicodeFolding(search, CaseMode::FoldedUnicode)) search += "\xC3\xA4";
    ASSERT_EQ(ReplaceAll(text, search, "<>", CaseMode::FoldedUnicode),
              ReferenceReplace(text, search, "<>"))
        << testing::PrintToString(search) << " in " << testing::PrintToString(text);
  }
}

}  // namespace
