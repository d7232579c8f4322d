#include "regex/literal_engine.h"

#include <limits>
#include <optional>

namespace regex_literal {

namespace {

using regex_tree::Alternation;
using regex_tree::AtomKind;
using regex_tree::Branch;
using regex_tree::Piece;

constexpr std::size_t kNowhere = std::string_view::npos;
constexpr std::size_t kUnset = std::numeric_limits<std::size_t>::max();

// The exact bytes of a branch of unrepeated, case-sensitive literals (comments
// and switches aside), if it is one and is not empty.
std::optional<std::string> PlainWord(const Branch& branch) {
  std::string text;
  for (const Piece& piece : branch) {
    if (piece.atom.kind == AtomKind::Nothing && !piece.quantified) continue;
    if (piece.atom.kind != AtomKind::Literal || piece.quantified || piece.atom.caseless) {
      return std::nullopt;
    }
    text += static_cast<char>(piece.atom.byte);
  }
  if (text.empty()) return std::nullopt;
  return text;
}

// The one group of a branch, if the branch is that group alone.
const Piece* OnlyGroup(const Branch& branch) {
  const Piece* group = nullptr;
  for (const Piece& piece : branch) {
    if (piece.atom.kind == AtomKind::Nothing && !piece.quantified) continue;
    if (piece.atom.kind != AtomKind::Group || piece.quantified || group != nullptr) return nullptr;
    group = &piece;
  }
  return group;
}

}  // namespace

std::unique_ptr<LiteralEngine> LiteralEngine::Create(const regex_tree::ParsedExpression& parsed) {
  std::vector<Word> words;
  const auto add = [&words](std::string text, int group) {
    Word word;
    word.text = std::move(text);
    word.group = group;
    MakeSkipTable(word.text.data(), static_cast<std::int32_t>(word.text.size()), word.table);
    words.push_back(std::move(word));
  };
  for (const Branch& branch : parsed.root.branches) {
    if (std::optional<std::string> word = PlainWord(branch)) {
      add(std::move(*word), 0);
      continue;
    }
    const Piece* group = OnlyGroup(branch);
    if (group == nullptr) return nullptr;
    for (const Branch& inner : group->atom.body->branches) {
      std::optional<std::string> word = PlainWord(inner);
      if (!word) return nullptr;
      add(std::move(*word), group->atom.group);
    }
  }
  // One word alone PCRE2 finds as fast, with its own vector search.
  if (words.size() < 2 || words.size() > kMaxWords) return nullptr;
  return std::unique_ptr<LiteralEngine>(new LiteralEngine(std::move(words)));
}

LiteralEngine::Scan LiteralEngine::NewScan() {
  Scan scan;
  scan.from.fill(kNowhere);
  scan.next.fill(kNowhere);
  return scan;
}

std::size_t LiteralEngine::NextOccurrence(std::string_view subject, Scan& scan, std::size_t word,
                                          std::size_t start) const {
  const bool known = scan.from[word] != kNowhere && scan.from[word] <= start &&
                     (scan.next[word] == kNowhere || scan.next[word] >= start);
  if (known) return scan.next[word];
  const Word& w = words_[word];
  scan.from[word] = start;
  if (subject.size() - start < w.text.size()) {
    scan.next[word] = kNowhere;
    return kNowhere;
  }
  const char* found = SkipSearch(subject.data() + start, w.text.data(), subject.size() - start,
                                 static_cast<std::int32_t>(w.text.size()), w.table);
  scan.next[word] = found == nullptr ? kNowhere : static_cast<std::size_t>(found - subject.data());
  return scan.next[word];
}

bool LiteralEngine::Search(std::string_view subject, Scan& scan, std::size_t start,
                           std::size_t* offsets, std::uint32_t entries) const {
  std::size_t best = kNowhere;
  std::size_t bestWord = 0;
  for (std::size_t word = 0; word < words_.size(); ++word) {
    const std::size_t at = NextOccurrence(subject, scan, word, start);
    if (at < best) {  // a tie keeps the word written first
      best = at;
      bestWord = word;
    }
  }
  if (best == kNowhere) return false;
  const Word& found = words_[bestWord];
  for (std::uint32_t n = 0; n < entries; ++n) {
    const bool set = n == 0 || static_cast<int>(n) == found.group;
    offsets[2 * n] = set ? best : kUnset;
    offsets[2 * n + 1] = set ? best + found.text.size() : kUnset;
  }
  return true;
}

}  // namespace regex_literal
