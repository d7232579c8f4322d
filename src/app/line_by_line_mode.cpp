#include "app/line_by_line_mode.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "app/screen_messages.h"
#include "base/exceptions.h"
#include "console/console.h"
#include "faststrings/replace_all.h"
#include "platform/files.h"
#include "program/program.h"
#include "regex/regexpr.h"
#include "text/conversions.h"
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

std::string FailureText(std::string_view what, const std::string& path, std::int32_t code) {
  return std::string(what) + " \"" + path + "\". " + platform::SystemErrorText(code);
}

class LineByLineRun {
 public:
  explicit LineByLineRun(const RunContext& context)
      : context_(context), lineLimit_(LinesToProcess(context.lineLimit)) {}
  LineByLineRun(const LineByLineRun&) = delete;
  LineByLineRun& operator=(const LineByLineRun&) = delete;

  void OpenInput();
  void ChooseOutputFile();
  void OpenOutput();
  void CreateFilter();
  void WriteLine(std::string_view text);
  void ProcessLines();
  void Finish();
  void CleanUpAfterFailure() noexcept;

 private:
  void ShowProgress(std::int64_t linesRead, std::int64_t iteration);
  void ApplyPairs(bool& keep);
  void CloseStreams();
  void StopReplacingInput() noexcept;

  const RunContext& context_;
  const std::int64_t lineLimit_;
  std::string outputFile_;  // the context's, or the input's name + ".output" with -w
  std::unique_ptr<TRegExpr> filter_;
  bool outputFileOpened_ = false;
  bool replacingInput_ = false;
  platform::ReplacementFile replacement_;
  std::string line_;     // reused for every line: no allocation per line once grown
  std::string scratch_;  // the result of one pair, swapped with line_
};

// A file that exists but cannot be opened is a failure, not an empty input.
void LineByLineRun::OpenInput() {
  TextStream& input = InputText();
  BindTextFile(input, context_.inputFile);
  PendingStreamErrorSetAside earlierFailure;
  OpenTextRead(input);
  if (input.mode == TextStreamMode::Reading) return;
  throw EFOpenError(
      FailureText("Cannot open file", context_.inputFile, earlierFailure.TakeOperationError()));
}

void LineByLineRun::ChooseOutputFile() {
  outputFile_ = context_.outputFile;
  if (!context_.writeBack || !outputFile_.empty()) return;
  outputFile_ = context_.inputFile + ".output";
  // Shown also under -q: the user asked to overwrite and gets another file.
  WriteAndAdvance("In Line-by-line mode output file must be set!", kStatusColour);
  WriteAndAdvance("Outputs to: " + outputFile_, kStatusColour);
}

void LineByLineRun::OpenOutput() {
  if (outputFile_.empty()) return;
  std::string path = outputFile_;
  if (platform::SameFile(context_.inputFile, outputFile_)) {
    // Creating the output would truncate the input before it is read: write a new
    // file beside it and put that in its place once everything went well.
    const platform::ErrorCode code = platform::BeginReplacement(outputFile_, replacement_);
    if (code != 0) throw EFCreateError(FailureText("Cannot create file", outputFile_, code));
    replacingInput_ = !replacement_.tempPath.empty();
    if (replacingInput_) path = replacement_.tempPath;
  }
  TextStream& output = OutputText();
  // Binding drops waiting bytes: what already went to standard output stays there.
  if (output.mode == TextStreamMode::Writing) FlushText(output);
  BindTextFile(output, path);
  PendingStreamErrorSetAside earlierFailure;
  OpenTextWrite(output);
  if (output.mode == TextStreamMode::Writing) {
    outputFileOpened_ = true;
    return;
  }
  const std::int32_t code = earlierFailure.TakeOperationError();
  // Later writes would retry the create; standard output is the safe place now.
  BindTextFile(output, "");
  throw EFCreateError(FailureText("Cannot create file", outputFile_, code));
}

void LineByLineRun::CreateFilter() {
  if (context_.matchExpression.empty()) return;
  filter_ = std::make_unique<TRegExpr>();
  filter_->SetExpression(context_.matchExpression);
}

void LineByLineRun::WriteLine(std::string_view text) {
  WriteTextLine(OutputText(), text);
}

void LineByLineRun::ShowProgress(std::int64_t linesRead, std::int64_t iteration) {
  PumpMessages();
  WriteInPlace("Processing line: #" + IntToDecimal(linesRead) + "(" + IntToDecimal(iteration) + ")",
               kStatusColour);
}

// Every pair in list order, each on the result of the previous one.
void LineByLineRun::ApplyPairs(bool& keep) {
  for (const SearchReplacePair& pair : context_.pairs) {
    const std::string& search = pair.search;
    const std::string& replace = pair.replace;
    if (context_.searchKind == SearchKind::Expression) {
      if (context_.matchOnly && !RegexMatches(search, line_)) {
        // A line the -m= filter rejected stays rejected even if every pair matches.
        keep = false;
        return;
      }
      RegexReplaceInto(scratch_, search, line_, replace, true);
      line_.swap(scratch_);
    } else if (ReplaceAllInto(scratch_, line_, search, replace, context_.caseMode)) {
      line_.swap(scratch_);
    }
  }
}

void LineByLineRun::ProcessLines() {
  TextStream& input = InputText();
  std::int64_t iteration = 0;
  std::int64_t linesRead = 0;
  for (;;) {
    bool keep = true;
    ++iteration;
    if (iteration % kProgressInterval == 0) ShowProgress(linesRead, iteration);
    ReadTextLineInto(input, line_);
    SkipLineEnd(input);
    if (!line_.empty() && filter_) keep = filter_->Exec(line_);
    if (line_.empty() && context_.matchOnly) keep = false;
    ++linesRead;
    if (!line_.empty()) ApplyPairs(keep);
    if (keep) WriteLine(line_);
    // A failed read or write ends the run instead of passing for the end of the data.
    if (PendingStreamError() != 0) CheckStreamError();
    if (line_.empty() && AtEndOfText(input)) break;
    if (iteration >= lineLimit_) break;
  }
}

void LineByLineRun::CloseStreams() {
  TextStream& output = OutputText();
  if (outputFileOpened_) {
    CloseText(output);
    if (output.mode == TextStreamMode::Closed) {
      outputFileOpened_ = false;
      // A later write to the closed stream would create the file again, emptying it.
      BindTextFile(output, "");
    }
  } else {
    FlushText(output);
  }
  CloseText(InputText());
}

void LineByLineRun::Finish() {
  CloseStreams();
  CheckStreamError();
  if (!replacingInput_) return;
  const platform::ErrorCode code = platform::CommitReplacement(replacement_);
  replacingInput_ = false;
  if (code != 0) {
    throw EFCreateError(FailureText("Cannot create file", outputFile_, code));
  }
}

void LineByLineRun::StopReplacingInput() noexcept {
  if (!replacingInput_) return;
  replacingInput_ = false;
  platform::AbandonReplacement(replacement_);
}

// The lines written so far reach the output file; the failure on its way is the one
// reported, not a code that closing leaves behind.
void LineByLineRun::CleanUpAfterFailure() noexcept {
  const PendingStreamErrorSetAside failureInFlight;
  if (outputFileOpened_) {
    CloseText(OutputText());
    outputFileOpened_ = false;
    if (OutputText().mode == TextStreamMode::Closed) BindTextFile(OutputText(), "");
  }
  CloseText(InputText());
  StopReplacingInput();
}

}  // namespace

void RunLineByLine(const RunContext& context) {
  if (context.inputFile.empty() || !platform::RegularFileExists(context.inputFile)) {
    ShowSyntax();
    FailWith("File not found: " + context.inputFile);
  }
  if (!context.quiet) WriteAndAdvance(context.inputFile, kStatusColour);

  LineByLineRun run(context);
  try {
    run.OpenInput();
    run.ChooseOutputFile();
    run.OpenOutput();
    run.CreateFilter();
    if (!context.header.empty()) run.WriteLine(context.header);
    run.ProcessLines();
    if (!context.footer.empty()) run.WriteLine(context.footer);
    run.Finish();
  } catch (...) {
    run.CleanUpAfterFailure();
    throw;
  }
}
