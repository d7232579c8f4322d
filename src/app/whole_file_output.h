// Where whole-file mode's result goes, and the end of its chain of stages: the
// byte 0 that ends the processed text, the line ends the lines are written with,
// header and footer. Both ways of processing (in blocks, and the whole text for
// regular expressions) end here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "app/run_input.h"
#include "stream/line_ends.h"
#include "stream/stage.h"

constexpr std::size_t kNotCut = std::string::npos;

// Where a byte 0 ended the text: its offset in the file as read and in the
// processed text; kNotCut where none did.
struct TextCuts {
  std::size_t inFile = kNotCut;
  std::size_t inProcessedText = kNotCut;

  bool operator==(const TextCuts&) const = default;
};

// What one whole-file run did: where bytes 0 cut the text, the replacements of
// each pair in list order, the lines changed (when the context counts them).
struct WholeFileResult {
  TextCuts cuts;
  std::vector<std::uint64_t> replacements;
  std::uint64_t linesChanged = 0;
};

// True when the result replaces the input file (-w, or an output name that
// leads to the input).
bool ReplacesInput(const RunContext& context);

// A byte 0 in the file would drop the rest of the text: refused (ERefusal) when
// the result replaces the input, so the user's file keeps what follows it.
void CheckCutInFile(const RunContext& context, std::size_t offset);

// The line end lines are written with: LF with --unix, the input's own with
// --keep-eol (left unknown here for a probe to find), otherwise CR LF.
bool LineEndsFromInput(const RunContext& context);
void ChooseLineEnd(const RunContext& context, stream::LineEndStyle& style);

class OutputTarget;
class TFileStream;
namespace stream {
class ChangedLineCounter;
}

class WholeFileOutput {
 public:
  // Creates the output file (through a replacement of the target) unless the
  // result goes to standard output. inputNoLongerNeeded is called when a byte 0
  // has ended the processed text (the input is then only looked through for a
  // byte 0 of its own, which is reported first).
  WholeFileOutput(const RunContext& context, const stream::LineEndStyle& lineEnd,
                  std::function<void()> inputNoLongerNeeded);
  ~WholeFileOutput();
  WholeFileOutput(const WholeFileOutput&) = delete;
  WholeFileOutput& operator=(const WholeFileOutput&) = delete;

  // The first stage of the output chain, which takes the processed text.
  stream::Stage& Head() { return chain_->Head(); }
  // Makes what was written the result: standard output flushed (a failed write
  // raises), or the file put in place of the target. Call after Head() finished.
  // A byte 0 that cut the processed text of a file written back is refused here.
  void Commit();
  // Instead of Commit, for a result that is not to be kept (--must-match, nothing
  // matched): no file is written; standard output is flushed as by Commit.
  void Discard();
  // Commit, or Discard when the context must match and nothing matched.
  void Finish(bool matched);

  std::size_t ProcessedCut() const { return processedCut_; }
  // With the context's countLines: the lines of the result that differ from the
  // input's line at the same place (0 without).
  std::uint64_t LinesChanged() const;

 private:
  const RunContext& context_;
  std::unique_ptr<OutputTarget> target_;
  std::unique_ptr<stream::Stage> end_;
  std::unique_ptr<stream::StageChain> chain_;
  std::size_t processedCut_ = kNotCut;
  bool refuseCut_ = false;
  // The input read once more, for the lines changed.
  std::unique_ptr<InputReadAgain> input_;
  const stream::ChangedLineCounter* changedLines_ = nullptr;
};
