#include "app/line_by_line_mode.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "app/screen_messages.h"
#include "app/settings.h"
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
  LineByLineRun() : lineLimit_(LinesToProcess(Settings.LineLimit)) {}
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

  const std::int64_t lineLimit_;
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
  BindTextFile(input, Settings.InputFile);
  std::int32_t& pending = PendingStreamError();
  const std::int32_t earlier = std::exchange(pending, 0);
  OpenTextRead(input);
  if (input.mode == TextStreamMode::Reading) {
    pending = earlier;
    return;
  }
  const std::int32_t code = std::exchange(pending, 0);
  throw EFOpenError(FailureText("Cannot open file", Settings.InputFile, code));
}

void LineByLineRun::ChooseOutputFile() {
  if (!Settings.WriteBack || !Settings.OutputFile.empty()) return;
  Settings.OutputFile = Settings.InputFile + ".output";
  // Shown also under -q: the user asked to overwrite and gets another file.
  WriteAndAdvance("In Line-by-line mode output file must be set!", kStatusColour);
  WriteAndAdvance("Outputs to: " + Settings.OutputFile, kStatusColour);
}

void LineByLineRun::OpenOutput() {
  if (Settings.OutputFile.empty()) return;
  std::string path = Settings.OutputFile;
  if (platform::SameFile(Settings.InputFile, Settings.OutputFile)) {
    // Creating the output would truncate the input before it is read: write a new
    // file beside it and put that in its place once everything went well.
    const platform::ErrorCode code = platform::BeginReplacement(Settings.OutputFile, replacement_);
    if (code != 0) {
      throw EFCreateError(FailureText("Cannot create file", Settings.OutputFile, code));
    }
    replacingInput_ = !replacement_.tempPath.empty();
    if (replacingInput_) path = replacement_.tempPath;
  }
  TextStream& output = OutputText();
  // Binding drops waiting bytes: what already went to standard output stays there.
  if (output.mode == TextStreamMode::Writing) FlushText(output);
  BindTextFile(output, path);
  std::int32_t& pending = PendingStreamError();
  const std::int32_t earlier = std::exchange(pending, 0);
  OpenTextWrite(output);
  if (output.mode == TextStreamMode::Writing) {
    pending = earlier;
    outputFileOpened_ = true;
    return;
  }
  const std::int32_t code = std::exchange(pending, 0);
  // Later writes would retry the create; standard output is the safe place now.
  BindTextFile(output, "");
  throw EFCreateError(FailureText("Cannot create file", Settings.OutputFile, code));
}

void LineByLineRun::CreateFilter() {
  if (Settings.MatchExpression.empty()) return;
  filter_ = std::make_unique<TRegExpr>();
  filter_->SetExpression(Settings.MatchExpression);
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
  const std::int32_t count = SearchList->Count();
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string& search = SearchList->Strings(i);
    const std::string& replace = ReplaceList->Strings(i);
    if (Settings.RegexMode) {
      if (Settings.MatchOnly && !RegexMatches(search, line_)) {
        // A line the -m= filter rejected stays rejected even if every pair matches.
        keep = false;
        return;
      }
      RegexReplaceInto(scratch_, search, line_, replace, true);
      line_.swap(scratch_);
    } else if (ReplaceAllInto(scratch_, line_, search, replace, Settings.CaseSensitive)) {
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
    if (line_.empty() && Settings.MatchOnly) keep = false;
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
    throw EFCreateError(FailureText("Cannot create file", Settings.OutputFile, code));
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
  std::int32_t& pending = PendingStreamError();
  const std::int32_t inFlight = pending;
  if (outputFileOpened_) {
    CloseText(OutputText());
    outputFileOpened_ = false;
    if (OutputText().mode == TextStreamMode::Closed) BindTextFile(OutputText(), "");
  }
  CloseText(InputText());
  StopReplacingInput();
  pending = inFlight;
}

}  // namespace

void RunLineByLine() {
  if (Settings.InputFile.empty() || !platform::RegularFileExists(Settings.InputFile)) {
    ShowSyntax();
    FailWith("File not found: " + Settings.InputFile);
  }
  if (!Settings.Quiet) WriteAndAdvance(Settings.InputFile, kStatusColour);

  LineByLineRun run;
  try {
    run.OpenInput();
    run.ChooseOutputFile();
    run.OpenOutput();
    run.CreateFilter();
    if (!Settings.Header.empty()) run.WriteLine(Settings.Header);
    run.ProcessLines();
    if (!Settings.Footer.empty()) run.WriteLine(Settings.Footer);
    run.Finish();
  } catch (...) {
    run.CleanUpAfterFailure();
    throw;
  }
}
