#include "app/whole_file_stream.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>

#include "app/run_input.h"
#include "app/whole_text.h"
#include "stream/block_queue.h"
#include "stream/block_reader.h"
#include "stream/byte_stages.h"
#include "stream/line_ends.h"
#include "stream/replace_stage.h"
#include "text/file_stream.h"

namespace {

// Blocks in flight between the two threads.
constexpr std::size_t kQueueDepth = 4;
// Pairs whose replacement is longer than their search build their result in
// pieces; together they take at most about this much, each at least kMinPiece.
constexpr std::size_t kGrowingPairsBudget = std::size_t{16} << 20;
constexpr std::size_t kMinPiece = std::size_t{64} << 10;
// With --keep-eol, the text held back while the input's first line end is looked
// for, when nothing needs that line end earlier.
constexpr std::size_t kProbeBlocks = 4;

bool IsLineByteOrZero(unsigned char c) {
  return c == '\r' || c == '\n' || c == 0;
}

// When no pair can see, make or empty a line, the pairs give the same lines on
// the text with the file's own line ends, and CR LF is put in only once, when
// the lines are written. A substitute CR, LF or 0 for byte 0 must be placed after
// the line ends are settled, so it needs them settled first.
bool LineEndsCanWait(const RunContext& context) {
  if (context.zeroBytesAllowed && IsLineByteOrZero(context.zeroSubstitute)) return false;
  return std::all_of(context.pairs.begin(), context.pairs.end(), [](const SearchReplacePair& p) {
    const bool emptiesText = !p.search.empty() && p.replace.empty();
    return PairStaysWithinLines(p.search, p.replace) && !emptiesText;
  });
}

// Whether a line end can be written before the input's first one has passed: a
// header, or a line break that a pair or a substitute for byte 0 makes.
bool LineEndNeededEarly(const RunContext& context) {
  if (!context.header.empty()) return true;
  const char substitute = static_cast<char>(context.zeroSubstitute);
  if (context.zeroBytesAllowed && (substitute == '\r' || substitute == '\n')) return true;
  return std::any_of(context.pairs.begin(), context.pairs.end(), [](const SearchReplacePair& p) {
    return p.replace.find_first_of("\r\n") != std::string::npos;
  });
}

std::size_t PieceSize(const RunContext& context, std::size_t blockSize) {
  const auto growing = static_cast<std::size_t>(
      std::count_if(context.pairs.begin(), context.pairs.end(), [](const SearchReplacePair& p) {
        return !p.search.empty() && p.replace.size() > p.search.size();
      }));
  if (growing == 0) return blockSize;
  return std::min(blockSize, std::max(kMinPiece, kGrowingPairsBudget / growing));
}

// The input side of the chain: read, byte 0, line ends, the pairs, -dos; it
// ends in end (the queue to the other thread, or the output side itself).
class InputSide {
 public:
  InputSide(const RunContext& context, const StreamSettings& settings, TFileStream& input,
            stream::LineEndStyle& lineEnd, const std::atomic<bool>& outputWantsMore)
      : context_(context),
        settings_(settings),
        input_(input),
        lineEnd_(lineEnd),
        outputWantsMore_(outputWantsMore) {}

  void Run(stream::Stage& end);
  std::size_t Cut() const { return cut_; }
  // Each pair's replacements, in list order (after Run).
  const std::vector<std::uint64_t>& Replacements() const { return replacements_; }

 private:
  const RunContext& context_;
  const StreamSettings& settings_;
  TFileStream& input_;
  stream::LineEndStyle& lineEnd_;
  // Cleared once a byte 0 ended the processed text; the input is then only
  // looked through for a byte 0 of its own.
  const std::atomic<bool>& outputWantsMore_;
  const stream::LineEndStyle crLf_{"\r\n"};
  std::size_t cut_ = kNotCut;
  std::vector<std::uint64_t> replacements_;
};

void InputSide::Run(stream::Stage& end) {
  stream::StageChain chain(end);
  if (context_.dosOutput) chain.Prepend<stream::OemStage>();
  const std::size_t pieceSize = PieceSize(context_, settings_.blockSize);
  // Per pair; null for a pair with an empty search, which matches nothing. They
  // live as long as the chain.
  std::vector<const stream::ReplaceStage*> replaceStages(context_.pairs.size(), nullptr);
  for (std::size_t i = context_.pairs.size(); i-- > 0;) {
    const SearchReplacePair& pair = context_.pairs[i];
    if (pair.search.empty()) continue;  // matches nothing
    replaceStages[i] = &chain.Prepend<stream::ReplaceStage>(
        pair.search, pair.replace, context_.caseMode, pieceSize, context_.mostPerPair);
  }
  if (context_.zeroBytesAllowed && context_.zeroSubstitute != 0) {
    chain.Prepend<stream::ZeroSubstituteStage>(static_cast<char>(context_.zeroSubstitute));
  }
  if (!LineEndsCanWait(context_)) chain.Prepend<stream::LineEndStage>(crLf_);
  chain.Prepend<stream::GateStage>(outputWantsMore_);
  // Before the gate: whether the input's last line ended is a fact of the whole
  // input, even when the processed text ended early.
  if (!lineEnd_.Known()) {
    const std::size_t holdLimit = LineEndNeededEarly(context_)
                                      ? std::numeric_limits<std::size_t>::max()
                                      : kProbeBlocks * settings_.blockSize;
    chain.Prepend<stream::LineEndProbe>(lineEnd_, holdLimit);
  }
  const stream::ZeroCutStage* zeroCut = nullptr;
  if (!context_.zeroBytesAllowed) {
    zeroCut = &chain.Prepend<stream::ZeroCutStage>([this](std::uint64_t offset) {
      CheckCutInFile(context_, static_cast<std::size_t>(offset));
      cut_ = static_cast<std::size_t>(offset);
    });
  }
  // After the processed text has ended, the input is still read through for its
  // own byte 0 and (--keep-eol) for whether its last line ends.
  const bool readToTheEnd = zeroCut != nullptr || !lineEnd_.Known();
  stream::ReadInBlocks(input_, settings_.blockSize, chain.Head(), [this, zeroCut, readToTheEnd] {
    if (zeroCut && zeroCut->Cut()) return false;
    return outputWantsMore_.load() || readToTheEnd;
  });
  replacements_.clear();
  for (const stream::ReplaceStage* stage : replaceStages) {
    replacements_.push_back(stage ? stage->Replaced() : 0);
  }
}

bool UseTwoThreads(const StreamSettings& settings, TFileStream& input) {
  switch (settings.threads) {
    case StreamThreads::One:
      return false;
    case StreamThreads::Two:
      return true;
    case StreamThreads::Auto:
      break;
  }
  // A thread costs more than it saves on a file of a block or two.
  return input.Size() > 2 * settings.blockSize;
}

}  // namespace

WholeFileResult StreamWholeFile(const RunContext& context, const StreamSettings& settings) {
  std::unique_ptr<TFileStream> input = OpenRunInput(context);
  stream::LineEndStyle lineEnd;
  ChooseLineEnd(context, lineEnd);
  std::atomic<bool> inputWanted{true};
  WholeFileOutput output(context, lineEnd, [&inputWanted] { inputWanted = false; });
  InputSide inputSide(context, settings, *input, lineEnd, inputWanted);
  if (UseTwoThreads(settings, *input)) {
    stream::RunOnTwoThreads([&inputSide](stream::Stage& queue) { inputSide.Run(queue); },
                            output.Head(), kQueueDepth);
  } else {
    inputSide.Run(output.Head());
  }
  // Closed before the result may take its place: Windows renames nothing over a
  // file that is open.
  input.reset();
  WholeFileResult result;
  result.replacements = inputSide.Replacements();
  result.linesChanged = output.LinesChanged();
  output.Finish(std::any_of(result.replacements.begin(), result.replacements.end(),
                            [](std::uint64_t n) { return n != 0; }));
  result.cuts = {inputSide.Cut(), output.ProcessedCut()};
  return result;
}
