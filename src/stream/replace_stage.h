// Replace-all of one plain pair over a text that passes in blocks: leftmost
// matches, without overlap, the inserted text never scanned again, the same
// matches as one replace-all over the whole text. A match can only be cut by a
// block's end where the block ends with the start of the search, so only such an
// end (shorter than the search) is held back for the next block. A search folded
// by Unicode's rules has matches of several lengths; its stage holds back every end
// that could still begin a match, up to the longest match less one byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "faststrings/fast_strings.h"
#include "faststrings/replace_all.h"
#include "faststrings/unicode_search.h"
#include "faststrings/window_scan.h"
#include "stream/stage.h"

namespace stream {

class ReplaceStage : public Stage {
 public:
  // search must not be empty. A replacement longer than the search is built in
  // pieces of about pieceSize bytes; others replace in the block's own buffer.
  // Only the first `most` matches of the whole text are replaced.
  ReplaceStage(Stage& next, std::string_view search, std::string_view replace, CaseMode caseMode,
               std::size_t pieceSize, std::size_t most = kEveryMatch);

  void Put(std::string& block) override;
  void Finish() override;

  // Whether any match was replaced so far, and how many.
  bool Matched() const { return replaced_ != 0; }
  std::uint64_t Replaced() const { return replaced_; }

 private:
  bool SameByte(char a, char b) const;
  // The offset from which the text's end may begin a match that the next block
  // completes: the longest end (starting at or after from) that is the start of
  // the search; the text's size when there is none.
  std::size_t HoldBackStart(std::string_view text, std::size_t from) const;
  std::size_t HoldBackAfter(std::string_view text, std::size_t from) const;
  void ReplaceInPlace(std::string& block);
  void ReplaceInPieces(std::string& block, MatchList& list);
  // The Unicode-folded search over a block (the held end of the last one before
  // it); atEnd when no more text follows.
  void ReplaceFolded(std::string& block, bool atEnd);

  const std::size_t most_;
  std::size_t replaced_ = 0;
  const std::string search_;
  const std::string replace_;
  const CaseMode caseMode_;
  const PreparedSearch prepared_;
  const std::unique_ptr<UnicodeFoldedSearch> unicode_;
  // For each length of search start, the length of its longest proper end that is
  // also a start of the search (letter case folded as the search folds it).
  std::vector<std::uint32_t> border_;
  Stage& next_;
  BlockGatherer pieces_;
  std::string carry_;
};

}  // namespace stream
