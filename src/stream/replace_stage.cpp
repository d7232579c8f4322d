#include "stream/replace_stage.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/exceptions.h"
#include "faststrings/replace_all.h"

namespace stream {

namespace {

const std::string& CheckedSearch(const std::string& search) {
  // The skip tables hold 32-bit shifts.
  if (search.size() > static_cast<std::size_t>(INT32_MAX)) throw Exception("Search text too long");
  return search;
}

std::unique_ptr<UnicodeFoldedSearch> FoldedSearchFor(std::string_view search, CaseMode caseMode) {
  if (!NeedsUnicodeFolding(search, caseMode)) return nullptr;
  return std::make_unique<UnicodeFoldedSearch>(search);
}

}  // namespace

ReplaceStage::ReplaceStage(Stage& next, std::string_view search, std::string_view replace,
                           CaseMode caseMode, std::size_t pieceSize, std::size_t most)
    : most_(most),
      search_(search),
      replace_(replace),
      caseMode_(caseMode),
      prepared_(CheckedSearch(search_), caseMode),
      unicode_(FoldedSearchFor(search_, caseMode)),
      border_(search_.size(), 0),
      next_(next),
      pieces_(next, pieceSize) {
  std::uint32_t k = 0;
  for (std::size_t i = 1; i < search_.size(); ++i) {
    while (k > 0 && !SameByte(search_[i], search_[k])) k = border_[k - 1];
    if (SameByte(search_[i], search_[k])) ++k;
    border_[i] = k;
  }
}

bool ReplaceStage::SameByte(char a, char b) const {
  if (caseMode_ == CaseMode::Exact) return a == b;
  return UpperTable[static_cast<std::uint8_t>(a)] == UpperTable[static_cast<std::uint8_t>(b)];
}

std::size_t ReplaceStage::HoldBackStart(std::string_view text, std::size_t from) const {
  const std::size_t m = search_.size();
  const std::size_t size = text.size();
  // Windows that start earlier lie wholly in the text and were searched.
  const std::size_t start = std::max(from, size + 1 > m ? size + 1 - m : 0);
  std::size_t matched = 0;
  for (std::size_t i = start; i < size; ++i) {
    while (matched > 0 && !SameByte(text[i], search_[matched])) matched = border_[matched - 1];
    if (SameByte(text[i], search_[matched])) ++matched;
  }
  return size - matched;
}

void ReplaceStage::Put(std::string& block) {
  if (!carry_.empty()) {
    block.insert(0, carry_);
    carry_.clear();
  }
  // Done with its matches: the rest of the text passes as it is.
  if (replaced_ == most_) {
    if (!block.empty()) next_.Put(block);
    return;
  }
  if (unicode_) {
    ReplaceFolded(block, false);
    return;
  }
  MatchList list;
  if (block.size() >= search_.size()) {
    const char* const base = block.data();
    list.Fetch(prepared_.scan, base, base + block.size(), most_ - replaced_);
  }
  if (list.count == 0) {
    const std::size_t hold = HoldBackStart(block, 0);
    carry_.assign(block, hold);
    block.resize(hold);
    if (!block.empty()) next_.Put(block);
    return;
  }
  if (replace_.size() <= search_.size()) {
    ReplaceInPlace(block);
  } else {
    ReplaceInPieces(block, list);
  }
}

// Once the last allowed match is made nothing more is searched, so nothing is
// held back.
std::size_t ReplaceStage::HoldBackAfter(std::string_view text, std::size_t from) const {
  if (replaced_ == most_) return text.size();
  return HoldBackStart(text, from);
}

void ReplaceStage::ReplaceInPlace(std::string& block) {
  char* const base = block.data();
  const auto [write, read, replaced] =
      ReplaceMatchesInPlace(prepared_.scan, base, base + block.size(), replace_, most_ - replaced_);
  replaced_ += replaced;
  const std::size_t hold = HoldBackAfter(block, static_cast<std::size_t>(read - base));
  carry_.assign(base + hold, block.size() - hold);
  const auto rest = static_cast<std::size_t>(base + hold - read);
  if (write != read) std::memmove(write, read, rest);
  block.resize(static_cast<std::size_t>(write - base) + rest);
  next_.Put(block);
}

void ReplaceStage::ReplaceInPieces(std::string& block, MatchList& list) {
  const std::size_t m = search_.size();
  const char* const base = block.data();
  const char* const end = base + block.size();
  const char* read = base;
  for (;;) {
    for (std::size_t i = 0; i < list.count; ++i) {
      pieces_.Add({read, static_cast<std::size_t>(list.matches[i] - read)});
      pieces_.Add(replace_);
      read = list.matches[i] + m;
    }
    replaced_ += list.count;
    if (!list.MayHaveMore()) break;
    list.Fetch(prepared_.scan, read, end, most_ - replaced_);
  }
  const std::size_t hold = HoldBackAfter(block, static_cast<std::size_t>(read - base));
  pieces_.Add({read, static_cast<std::size_t>(base + hold - read)});
  carry_.assign(base + hold, block.size() - hold);
  pieces_.Flush();
}

// A match that starts where fewer bytes than the longest match are left may be cut
// by the block's end, and one that starts later is not known to be the leftmost:
// from the first such place on, the text waits for the next block.
void ReplaceStage::ReplaceFolded(std::string& block, bool atEnd) {
  const std::size_t longest = unicode_->LongestMatch();
  const std::size_t size = block.size();
  const std::size_t settled = atEnd ? size : size >= longest ? size - longest + 1 : 0;
  UnicodeFoldedSearch::Match match;
  std::size_t read = 0;
  while (replaced_ < most_ && read < settled && unicode_->Find(block, read, match) &&
         match.offset < settled) {
    pieces_.Add(std::string_view(block).substr(read, match.offset - read));
    pieces_.Add(replace_);
    read = match.offset + match.length;
    ++replaced_;
  }
  // Once the last allowed match is made nothing more is searched or held.
  const std::size_t hold = replaced_ == most_ ? size : std::max(read, settled);
  if (read == 0) {
    carry_.assign(block, hold);
    block.resize(hold);
    if (!block.empty()) next_.Put(block);
    return;
  }
  pieces_.Add(std::string_view(block).substr(read, hold - read));
  carry_.assign(block, hold);
  pieces_.Flush();
}

void ReplaceStage::Finish() {
  if (unicode_ && !carry_.empty()) {
    std::string rest;
    rest.swap(carry_);
    ReplaceFolded(rest, true);
  }
  // What is held is shorter than the search, so no match is in it.
  if (!carry_.empty()) {
    std::string rest;
    rest.swap(carry_);
    next_.Put(rest);
  }
  next_.Finish();
}

}  // namespace stream
