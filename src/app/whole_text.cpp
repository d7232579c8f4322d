#include "app/whole_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "app/run_input.h"
#include "faststrings/replace_all.h"
#include "platform/byte_buffer.h"
#include "regex/regexpr.h"
#include "stream/byte_stages.h"
#include "stream/line_ends.h"
#include "text/file_stream.h"

namespace {

// Read past the announced size in pieces of this many bytes (a growing file, or a
// special file that reports no size).
constexpr std::size_t kReadPiece = 64 * 1024;
// The result goes to the output chain in blocks of this size.
constexpr std::size_t kResultBlockSize = std::size_t{1} << 20;

// The first byte 0 ends the text. A byte 0 right at the start still leaves one
// empty line, which a lone LF stands for.
std::size_t CutAtFirstZero(std::string& text) {
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (!zero) return kNotCut;
  std::size_t offset = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
  if (offset == 0) {
    text.assign(1, '\n');
  } else {
    text.resize(offset);
  }
  return offset;
}

void ReadWholeStream(TFileStream& stream, std::string& text) {
  const std::uint64_t fileSize = stream.Size();
  const std::uint64_t position = stream.Position();
  const std::uint64_t announced = fileSize > position ? fileSize - position : 0;
  if (announced > std::numeric_limits<std::size_t>::max() / 2) throw EOutOfMemory();
  const auto size = static_cast<std::size_t>(announced);
  // Room for the CR of every LF-ended line of ordinary text, so the line ends can
  // be rewritten without moving the text to a new buffer.
  text.clear();
  platform::ReserveBytes(text, size + size / 8 + kReadPiece);
  text.resize(size);
  // One read normally; a short read is continued instead of losing the rest.
  std::size_t got = 0;
  while (got < size) {
    std::size_t n = stream.Read(text.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  text.resize(got);
  for (;;) {
    text.resize(got + kReadPiece);
    std::size_t n = stream.Read(text.data() + got, kReadPiece);
    got += n;
    text.resize(got);
    if (n == 0) break;
  }
  // A failed read must not pass for the end of the file: with -w the shortened
  // text would replace the user's file.
  if (stream.ReadFailure() != 0) throw EReadError("Stream read error");
}

// Every pair in turn; the last one's result goes to the output as it is made.
// Returns each pair's replacements.
std::vector<std::uint64_t> ApplyPairsInto(const RunContext& context, std::string& text,
                                          stream::BlockGatherer& result) {
  const std::vector<SearchReplacePair>& pairs = context.pairs;
  std::vector<std::uint64_t> counts(pairs.size(), 0);
  std::string spare;
  for (std::size_t i = 0; i + 1 < pairs.size(); ++i) {
    counts[i] = ApplyPair(text, spare, pairs[i].search, pairs[i].replace, context.caseMode,
                          context.searchKind, context.mostPerPair);
  }
  spare = std::string();
  if (!pairs.empty() && context.searchKind == SearchKind::Expression) {
    counts.back() = RegexReplaceTo([&result](std::string_view piece) { result.Add(piece); },
                                   pairs.back().search, text, pairs.back().replace,
                                   ReplacementKind::Template, context.mostPerPair);
    return counts;
  }
  if (!pairs.empty()) {
    counts.back() = ApplyPair(text, spare, pairs.back().search, pairs.back().replace,
                              context.caseMode, context.searchKind, context.mostPerPair);
  }
  result.Add(text);
  return counts;
}

}  // namespace

std::size_t ReadFileText(const std::string& fileName, bool cutAtZero, std::string& text) {
  return ReadStreamText(FileStreamOpen(fileName), cutAtZero, text);
}

std::size_t ReadStreamText(std::unique_ptr<TFileStream> stream, bool cutAtZero, std::string& text) {
  ReadWholeStream(*stream, text);
  // Closed before the result may take the file's place.
  stream.reset();
  return cutAtZero ? CutAtFirstZero(text) : kNotCut;
}

void EndLinesWithCrLf(std::string& text) {
  stream::ConvertLineBreaks(text, "\r\n");
  if (!text.empty() && text.back() != '\n') text.append("\r\n");
}

std::size_t LoadJoinedText(const std::string& fileName, bool keepZeroBytes, char substitute,
                           std::string& text) {
  std::size_t cut = ReadFileText(fileName, !keepZeroBytes, text);
  EndLinesWithCrLf(text);
  if (keepZeroBytes && substitute != 0) stream::SubstituteZeroBytes(text, substitute);
  return cut;
}

bool PairStaysWithinLines(std::string_view search, std::string_view replace) {
  constexpr std::string_view kLineBytes("\r\n\0", 3);
  return search.find_first_of(kLineBytes) == std::string_view::npos &&
         replace.find_first_of(kLineBytes) == std::string_view::npos;
}

std::size_t ApplyPair(std::string& text, std::string& spare, std::string_view search,
                      std::string_view replace, CaseMode caseMode, SearchKind kind,
                      std::size_t most) {
  if (kind == SearchKind::Expression) {
    const std::size_t replaced =
        RegexReplaceInto(spare, search, text, replace, ReplacementKind::Template, most);
    text.swap(spare);
    return replaced;
  }
  if (search.empty() || text.empty()) return 0;
  // Not longer: in the text's own buffer. Longer: into the spare buffer, which
  // keeps its capacity from one pair to the next.
  if (replace.size() <= search.size())
    return ReplaceAllInPlace(text, search, replace, caseMode, most);
  const std::size_t replaced = ReplaceAllInto(spare, text, search, replace, caseMode, most);
  if (replaced != 0) text.swap(spare);
  return replaced;
}

WholeFileResult ProcessWholeText(const RunContext& context) {
  WholeFileResult outcome;
  TextCuts& cuts = outcome.cuts;
  std::string text;
  cuts.inFile = ReadStreamText(OpenRunInput(context), !context.zeroBytesAllowed, text);
  if (cuts.inFile != kNotCut) CheckCutInFile(context, cuts.inFile);
  stream::LineEndStyle lineEnd;
  ChooseLineEnd(context, lineEnd);
  if (!lineEnd.Known()) stream::DetectLineEnds(text, lineEnd);
  EndLinesWithCrLf(text);
  if (context.zeroBytesAllowed && context.zeroSubstitute != 0) {
    stream::SubstituteZeroBytes(text, static_cast<char>(context.zeroSubstitute));
  }

  WholeFileOutput output(context, lineEnd, [] {});
  stream::StageChain chain(output.Head());
  if (context.dosOutput) chain.Prepend<stream::OemStage>();
  stream::BlockGatherer result(chain.Head(), kResultBlockSize);
  outcome.replacements = ApplyPairsInto(context, text, result);
  result.Flush();
  chain.Head().Finish();
  outcome.linesChanged = output.LinesChanged();
  output.Finish(std::any_of(outcome.replacements.begin(), outcome.replacements.end(),
                            [](std::uint64_t n) { return n != 0; }));
  cuts.inProcessedText = output.ProcessedCut();
  return outcome;
}
