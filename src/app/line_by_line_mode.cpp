// Line-by-line mode. One physical line at a time is read, passed through the
// filter and the pairs, and written; memory holds the stream buffers, the longest
// line and the pairs, whatever the size of the file.
//
// Speed: a line that lies in the input buffer is not copied before it is written,
// and a plain pair searches the whole buffered rest of the input at once; the match
// it finds answers for every line before it, so most lines cost no search call at
// all. A line a pair changed is searched on its own by the pairs after that one.
// Without a line filter, the lines before the next match are passed on in one go,
// as long runs of bytes where their line ends are already the output's.
//
// Safety: an output file is written as a new file that takes the old one's place
// only when the whole run went well; a failure leaves the old file as it was. When
// the output would replace the input with the same bytes, nothing is replaced.
#include "app/line_by_line_mode.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/run_input.h"
#include "app/screen_messages.h"
#include "base/exceptions.h"
#include "console/console.h"
#include "faststrings/replace_all.h"
#include "platform/files.h"
#include "program/program.h"
#include "regex/regexpr.h"
#include "text/conversions.h"
#include "text/file_stream.h"
#include "text/line_text.h"
#include "text/text_stream.h"

std::int64_t LinesToProcess(std::int32_t lineLimit) {
  // The default is the largest value; a file with more lines than that must still
  // come through whole rather than stop silently.
  if (lineLimit == std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int64_t>::max();
  }
  return std::max<std::int64_t>(lineLimit, 1);
}

namespace {

constexpr std::int64_t kProgressInterval = 1000;
constexpr std::string_view kCrLf = "\r\n";
constexpr char kLineCutByte = 26;  // ends the text of its line

std::string FailureText(std::string_view what, const std::string& path, std::int32_t code) {
  return std::string(what) + " \"" + path + "\". " + platform::SystemErrorText(code);
}

std::string_view BytesOf(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::CrLf:
      return kCrLf;
    case LineEnd::Cr:
      return "\r";
    case LineEnd::None:
      break;
  }
  return {};
}

// The read that meets the end of the input: no byte of the file behind it.
bool ReadNothing(const TextLine& line) {
  return line.text.empty() && line.end == LineEnd::None && !line.cut;
}

// Where a plain pair's next match lies in the input buffer, as far as it was
// searched: valid while the buffer holds the same fill.
struct MatchAhead {
  const char* at = nullptr;  // the match, or the end of the searched bytes
  std::uint64_t fills = 0;
  bool known = false;
};

class LineByLineRun {
 public:
  explicit LineByLineRun(const RunContext& context)
      : context_(context),
        lineLimit_(LinesToProcess(context.lineLimit)),
        loneCr_(context.keepLineEnds ? LoneCr::EndsLine : LoneCr::Dropped) {}
  LineByLineRun(const LineByLineRun&) = delete;
  LineByLineRun& operator=(const LineByLineRun&) = delete;

  void OpenInput();
  void ChooseOutputFile();
  void OpenOutput();
  void CreateFilter();
  void PreparePairs();
  void WriteHeader();
  void ProcessLines();
  void WriteFooter();
  void Finish();
  void CleanUpAfterFailure() noexcept;
  FileOutcome Outcome() const;

 private:
  void ShowProgress(std::int64_t linesRead, std::int64_t iteration);
  std::string_view ApplyPairs(std::string_view text, bool& keep);
  const char* MatchAheadOf(std::size_t index, std::string_view buffered);
  bool PlainPairMayMatch(std::size_t index);
  std::int64_t PassUnchangedLines(std::int64_t most);
  std::string& ResultBufferBeside(std::string_view text);
  void WriteProcessedLine(std::string_view text, bool changed);
  void WriteKeptEndsLine(std::string_view text, bool changed);
  std::string_view WithOutputLineEnds(std::string_view text);
  std::string_view OutputLineEnd() const;
  void WriteOwedLineEnd();
  void WriteLine(std::string_view text, std::string_view lineEnd);
  void WriteBytes(std::string_view bytes);
  bool Matched() const;

  const RunContext& context_;
  const std::int64_t lineLimit_;
  const LoneCr loneCr_;
  std::string outputFile_;  // the context's, or the input's name + ".output" with -w
  std::unique_ptr<TRegExpr> filter_;
  // Plain pairs (none with -r), in list order, each with its search's next match.
  std::vector<std::unique_ptr<PreparedReplacement>> plainPairs_;
  std::vector<MatchAhead> matchesAhead_;
  bool passesUnchangedLines_ = false;  // lines no pair changes need no per-line steps

  TextStream* input_ = nullptr;   // ownInput_, once opened
  TextStream ownInput_;           // the file, or standard input for "-"
  TextStream* output_ = nullptr;  // standard output or fileOutput_
  TextStream fileOutput_;         // writes the new file behind replacement_
  platform::ReplacementFile replacement_;
  bool replacing_ = false;
  bool replacesInput_ = false;
  bool sameAsInput_ = true;  // every byte written so far is the byte read there

  // --keep-eol
  LineEnd inputStyle_ = LineEnd::None;  // the input's first line end, once met
  bool headerEndOwed_ = false;          // the header waits for the style
  bool lastLineOpen_ = false;           // the last line written had no line end
  bool inputEndedWithLineEnd_ = true;   // an empty input counts as ended

  TextLine line_;
  std::string spare_;        // a line that is not a view of the input buffer
  std::string result_;       // pair results, alternating
  std::string otherResult_;  //
  std::string normalised_;   // line ends a pair made, in the output's style

  std::vector<std::uint64_t> replacements_;  // per pair
  std::uint64_t linesChanged_ = 0;
};

bool LineByLineRun::Matched() const {
  return std::any_of(replacements_.begin(), replacements_.end(),
                     [](std::uint64_t n) { return n != 0; });
}

FileOutcome LineByLineRun::Outcome() const {
  return {context_.InputShownAs(), replacements_, linesChanged_};
}

// A file that exists but cannot be opened is a failure, not an empty input.
void LineByLineRun::OpenInput() {
  input_ = &ownInput_;
  // No name: standard input.
  ownInput_.role = TextStreamRole::Input;
  BindTextFile(*input_, ReadsStandardInput(context_) ? std::string() : context_.inputFile);
  PendingStreamErrorSetAside earlierFailure;
  OpenTextRead(*input_);
  if (input_->mode == TextStreamMode::Reading) return;
  throw EFOpenError(
      FailureText("Cannot open file", context_.inputFile, earlierFailure.TakeOperationError()));
}

// The context's output file, or the input's name + ".output" with -w.
std::string OutputFileOf(const RunContext& context) {
  if (!context.writeBack || !context.outputFile.empty()) return context.outputFile;
  return context.inputFile + ".output";
}

void LineByLineRun::ChooseOutputFile() {
  if (context_.capture) return;  // nothing is written
  outputFile_ = OutputFileOf(context_);
  if (outputFile_ == context_.outputFile) return;
  // Shown also under -q: the user asked to overwrite and gets another file. A run
  // over several files says so once for all.
  if (context_.oneOfMany) return;
  ShowOutputFileInstead(outputFile_);
}

// An output file is written as a new file beside it; the old one (the input itself,
// perhaps) stays as it is until the run has gone through.
void LineByLineRun::OpenOutput() {
  if (context_.capture) return;
  if (outputFile_.empty() && context_.outputHandle != platform::kInvalidHandle) {
    output_ = &fileOutput_;
    BindTextHandle(fileOutput_, context_.outputHandle);
    OpenTextWrite(fileOutput_);
    return;
  }
  if (outputFile_.empty()) {
    output_ = &OutputText();
    return;
  }
  replacesInput_ = platform::SameFile(context_.inputFile, outputFile_);
  const platform::ErrorCode code = platform::BeginReplacement(outputFile_, replacement_);
  if (code != 0) throw EFCreateError(FailureText("Cannot create file", outputFile_, code));
  replacement_.folderFlushedLater = context_.folderFlushLeftToCaller;
  replacing_ = true;
  output_ = &fileOutput_;
  BindTextHandle(fileOutput_, replacement_.handle);  // the new file may have no name
  PendingStreamErrorSetAside earlierFailure;
  OpenTextWrite(fileOutput_);
  if (fileOutput_.mode == TextStreamMode::Writing) return;
  throw EFCreateError(
      FailureText("Cannot create file", outputFile_, earlierFailure.TakeOperationError()));
}

void LineByLineRun::CreateFilter() {
  if (context_.matchExpression.empty()) return;
  filter_ = std::make_unique<TRegExpr>();
  filter_->SetExpression(context_.matchExpression);
}

void LineByLineRun::PreparePairs() {
  replacements_.assign(context_.pairs.size(), 0);
  if (context_.searchKind == SearchKind::Literal) {
    for (const SearchReplacePair& pair : context_.pairs) {
      plainPairs_.push_back(
          std::make_unique<PreparedReplacement>(pair.search, pair.replace, context_.caseMode));
    }
    matchesAhead_.resize(plainPairs_.size());
  }
  passesUnchangedLines_ =
      plainPairs_.size() == context_.pairs.size() && !filter_ && !context_.matchOnly;
}

void LineByLineRun::WriteLine(std::string_view text, std::string_view lineEnd) {
  if (context_.capture) {
    context_.capture(text);
    context_.capture(lineEnd);
    return;
  }
  WriteTextLineEndingWith(*output_, text, lineEnd);
}

void LineByLineRun::WriteBytes(std::string_view bytes) {
  if (context_.capture) {
    context_.capture(bytes);
    return;
  }
  WriteTextBytes(*output_, bytes);
}

// The header's line end follows the input's style, which is known only once the
// first line is read.
void LineByLineRun::WriteHeader() {
  if (context_.header.empty()) return;
  sameAsInput_ = false;
  if (!context_.keepLineEnds) {
    WriteLine(context_.header, kCrLf);
    return;
  }
  WriteLine(context_.header, {});
  headerEndOwed_ = true;
}

void LineByLineRun::WriteFooter() {
  if (context_.footer.empty()) return;
  sameAsInput_ = false;
  if (!context_.keepLineEnds) {
    WriteLine(context_.footer, kCrLf);
    return;
  }
  WriteOwedLineEnd();
  if (lastLineOpen_) WriteLine({}, OutputLineEnd());
  WriteLine(context_.footer, inputEndedWithLineEnd_ ? OutputLineEnd() : std::string_view());
}

void LineByLineRun::ShowProgress(std::int64_t linesRead, std::int64_t iteration) {
  // A run over several files shows its own progress line.
  if (context_.oneOfMany) return;
  PumpMessages();
  WriteInPlace("Processing line: #" + IntToDecimal(linesRead) + "(" + IntToDecimal(iteration) + ")",
               kStatusColour);
}

std::string& LineByLineRun::ResultBufferBeside(std::string_view text) {
  return text.data() == result_.data() ? otherResult_ : result_;
}

// The pair's first match in the buffered bytes (their end when there is none).
// One search serves every line up to that match.
const char* LineByLineRun::MatchAheadOf(std::size_t index, std::string_view buffered) {
  MatchAhead& ahead = matchesAhead_[index];
  if (!ahead.known || ahead.fills != input_->fills || ahead.at < buffered.data()) {
    const char* const found = plainPairs_[index]->FindIn(buffered);
    ahead.at = found != nullptr ? found : buffered.data() + buffered.size();
    ahead.fills = input_->fills;
    ahead.known = true;
  }
  return ahead.at;
}

// Whether the pair can match in the line as read: only a match that lies wholly
// inside the line counts.
bool LineByLineRun::PlainPairMayMatch(std::size_t index) {
  if (line_.buffered.empty()) return true;
  const char* const match = MatchAheadOf(index, line_.buffered);
  const char* const lineEnd = line_.text.data() + line_.text.size();
  return match < lineEnd &&
         static_cast<std::size_t>(lineEnd - match) >= plainPairs_[index]->ShortestMatchLength();
}

// Lines ahead in the input buffer that no pair can change, written without the
// per-line steps, at most `most` of them. They stop before the first match of any
// pair, before a byte the line reader has to look at (a lone CR that is dropped, a
// byte 26) and before the last buffered line (whose end test may need a read).
// Lines whose line end is already the output's go out as they are, in one piece.
std::int64_t LineByLineRun::PassUnchangedLines(std::int64_t most) {
  const std::string_view unread = UnreadText(*input_);
  const char* const last = unread.data() + unread.size();
  const char* stop = last;
  for (std::size_t i = 0; i < plainPairs_.size(); ++i) {
    stop = std::min(stop, MatchAheadOf(i, unread));
  }
  const std::string_view lineEnd = context_.keepLineEnds ? OutputLineEnd() : kCrLf;
  const char* from = unread.data();  // the next line
  const char* copied = from;         // bytes before it not written yet
  std::int64_t lines = 0;
  for (; lines < most; ++lines) {
    const char* const end = FindAnyOf3(from, stop, '\n', '\r', kLineCutByte);
    if (end == stop || *end == kLineCutByte) break;
    std::size_t endLength = 1;
    if (*end == '\r') {
      if (end + 1 == last) break;
      if (end[1] == '\n') {
        endLength = 2;
      } else if (loneCr_ == LoneCr::Dropped) {
        break;
      }
    }
    const char* const next = end + endLength;
    if (next > stop || next == last) break;
    if (std::string_view(end, endLength) != lineEnd) {
      WriteLine(std::string_view(copied, static_cast<std::size_t>(end - copied)), lineEnd);
      copied = next;
      sameAsInput_ = false;
    }
    from = next;
  }
  if (from != copied) {
    WriteBytes(std::string_view(copied, static_cast<std::size_t>(from - copied)));
  }
  ConsumeText(*input_, static_cast<std::size_t>(from - unread.data()));
  return lines;
}

// Every pair in list order, each on the result of the previous one.
std::string_view LineByLineRun::ApplyPairs(std::string_view text, bool& keep) {
  const bool plain = context_.searchKind == SearchKind::Literal;
  for (std::size_t i = 0; i < context_.pairs.size(); ++i) {
    const SearchReplacePair& pair = context_.pairs[i];
    if (plain) {
      // The line as read is searched ahead; a changed one on its own.
      if (text.data() == line_.text.data() && !PlainPairMayMatch(i)) continue;
      std::string& result = ResultBufferBeside(text);
      const std::size_t replaced = plainPairs_[i]->ReplaceInto(result, text, context_.mostPerPair);
      replacements_[i] += replaced;
      if (replaced != 0) text = result;
      continue;
    }
    if (context_.matchOnly && !RegexMatches(pair.search, text)) {
      // A line the -m= filter rejected stays rejected even if every pair matches.
      keep = false;
      return text;
    }
    std::string& result = ResultBufferBeside(text);
    replacements_[i] += RegexReplaceInto(result, pair.search, text, pair.replace,
                                         ReplacementKind::Template, context_.mostPerPair);
    text = result;
  }
  return text;
}

void LineByLineRun::ProcessLines() {
  std::int64_t iteration = 0;
  std::int64_t linesRead = 0;
  for (;;) {
    bool keep = true;
    ++iteration;
    if (iteration % kProgressInterval == 0) ShowProgress(linesRead, iteration);
    ReadPhysicalLine(*input_, spare_, loneCr_, line_);
    if (inputStyle_ == LineEnd::None) inputStyle_ = line_.end;
    if (!line_.text.empty() && filter_) keep = filter_->Exec(line_.text);
    if (line_.text.empty() && context_.matchOnly) keep = false;
    ++linesRead;
    std::string_view text = line_.text;
    if (!text.empty()) text = ApplyPairs(text, keep);
    const bool changed = text.data() != line_.text.data() && text != line_.text;
    if (changed) ++linesChanged_;
    if (keep) {
      WriteProcessedLine(text, changed);
    } else if (!ReadNothing(line_)) {
      sameAsInput_ = false;
    }
    // A failed read or write ends the run instead of passing for the end of the data.
    if (PendingStreamError() != 0) CheckStreamError();
    if (text.empty() && AtEndOfText(*input_)) break;
    if (iteration >= lineLimit_) break;
    if (!passesUnchangedLines_) continue;
    // Up to the pass before the next progress line, and no further than the limit.
    const std::int64_t passed = PassUnchangedLines(
        std::min(kProgressInterval - 1 - iteration % kProgressInterval, lineLimit_ - iteration));
    iteration += passed;
    linesRead += passed;
    if (PendingStreamError() != 0) CheckStreamError();
    if (iteration >= lineLimit_) break;
  }
  // Stopped by the line limit before the end: the output is shorter than the input.
  if (!AtEndOfText(*input_)) sameAsInput_ = false;
}

void LineByLineRun::WriteProcessedLine(std::string_view text, bool changed) {
  if (context_.keepLineEnds) {
    WriteKeptEndsLine(text, changed);
    return;
  }
  WriteLine(text, kCrLf);
  if (changed || line_.cut || line_.end != LineEnd::CrLf) sameAsInput_ = false;
}

// Each line ends as the input's lines do; the read at the end of the input
// writes nothing, and a last line without a line end gets none.
void LineByLineRun::WriteKeptEndsLine(std::string_view text, bool changed) {
  if (ReadNothing(line_)) return;
  inputEndedWithLineEnd_ = line_.end != LineEnd::None;
  WriteOwedLineEnd();
  const std::string_view lineEnd = inputEndedWithLineEnd_ ? OutputLineEnd() : std::string_view();
  if (changed) text = WithOutputLineEnds(text);
  WriteLine(text, lineEnd);
  lastLineOpen_ = lineEnd.empty() && !text.empty();
  if (changed || line_.cut || lineEnd != BytesOf(line_.end)) sameAsInput_ = false;
}

// With --keep-eol: the input's first line end (CR LF while none was met), or LF
// with --unix.
std::string_view LineByLineRun::OutputLineEnd() const {
  if (context_.unixNewlines) return "\n";
  return inputStyle_ == LineEnd::None ? kCrLf : BytesOf(inputStyle_);
}

void LineByLineRun::WriteOwedLineEnd() {
  if (!headerEndOwed_) return;
  headerEndOwed_ = false;
  WriteLine({}, OutputLineEnd());
}

// Line ends a pair put into the line (CR LF, a lone CR or a lone LF) become the
// output's line end, as whole-file mode splits and ends its lines.
std::string_view LineByLineRun::WithOutputLineEnds(std::string_view text) {
  const char* from = text.data();
  const char* const last = from + text.size();
  const char* stop = FindAnyOf3(from, last, '\r', '\n', '\n');
  if (stop == last) return text;
  const std::string_view lineEnd = OutputLineEnd();
  normalised_.clear();
  while (stop != last) {
    normalised_.append(from, stop);
    normalised_.append(lineEnd);
    from = stop + (*stop == '\r' && stop + 1 != last && stop[1] == '\n' ? 2 : 1);
    stop = FindAnyOf3(from, last, '\r', '\n', '\n');
  }
  normalised_.append(from, last);
  return normalised_;
}

// The output file takes its place only after every byte reached it and the input
// was let go; unchanged, the input is not replaced at all.
void LineByLineRun::Finish() {
  WriteOwedLineEnd();
  if (output_ == &fileOutput_) {
    CloseText(fileOutput_);
  } else if (output_ != nullptr) {
    FlushText(*output_);
  }
  CloseText(*input_);
  CheckStreamError();
  if (!replacing_) return;
  replacing_ = false;
  // --must-match: a run that matched nothing writes no file.
  if ((replacesInput_ && sameAsInput_) || (context_.mustMatch && !Matched())) {
    platform::AbandonReplacement(replacement_);
    return;
  }
  const platform::ErrorCode code = platform::CommitReplacement(replacement_);
  if (code != 0) {
    throw EFCreateError(WithKeptBackup(FailureText("Cannot create file", outputFile_, code),
                                       replacement_.keptBackup));
  }
}

// Nothing reaches the output file; the failure on its way is the one reported, not
// a code that closing leaves behind.
void LineByLineRun::CleanUpAfterFailure() noexcept {
  const PendingStreamErrorSetAside failureInFlight;
  CloseText(ownInput_);
  if (!replacing_) return;
  replacing_ = false;
  platform::AbandonReplacement(replacement_);
}

}  // namespace

FileOutcome RunLineByLine(const RunContext& context) {
  CheckInputFound(context);
  if (!context.quiet && !context.oneOfMany) WriteAndAdvance(context.inputFile, kStatusColour);

  // Held from before the input is read until the output file is in place.
  const std::string outputFile = context.capture ? std::string() : OutputFileOf(context);
  const platform::TargetLock lock(outputFile, [&] { ShowWaitingFor(outputFile); });
  LineByLineRun run(context);
  try {
    run.OpenInput();
    run.ChooseOutputFile();
    run.OpenOutput();
    run.CreateFilter();
    run.PreparePairs();
    run.WriteHeader();
    run.ProcessLines();
    run.WriteFooter();
    run.Finish();
  } catch (...) {
    run.CleanUpAfterFailure();
    throw;
  }
  return run.Outcome();
}
