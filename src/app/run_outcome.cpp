#include "app/run_outcome.h"

#include <algorithm>

#include "app/file_diff.h"
#include "app/run_input.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/file_stream.h"
#include "text/text_stream.h"

namespace {

std::string Counted(std::uint64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// A file name may hold bytes a terminal would take for controls.
std::string NameOnStandardError(const std::string& name) {
  return platform::TextForStream(platform::StandardError(), name);
}

}  // namespace

std::string StatsSummary(const FileOutcome& outcome) {
  std::string line = NameOnStandardError(outcome.inputFile) + ": " +
                     Counted(outcome.TotalReplacements(), "replacement", "replacements") + " (";
  for (std::size_t i = 0; i < outcome.replacements.size(); ++i) {
    if (i != 0) line += ", ";
    line += std::to_string(i + 1) + ": " + std::to_string(outcome.replacements[i]);
  }
  return line + "), " + Counted(outcome.linesChanged, "line", "lines") + " changed";
}

std::string StatsTotal(const std::vector<FileOutcome>& outcomes) {
  std::uint64_t total = 0;
  for (const FileOutcome& outcome : outcomes) total += outcome.TotalReplacements();
  const auto matched = std::count_if(outcomes.begin(), outcomes.end(),
                                     [](const FileOutcome& o) { return o.Matched(); });
  return Counted(total, "replacement", "replacements") + " in " + std::to_string(matched) + " of " +
         Counted(outcomes.size(), "file", "files");
}

void ReportStats(const std::vector<FileOutcome>& outcomes) {
  std::string text;
  for (const FileOutcome& outcome : outcomes) text += StatsSummary(outcome) + "\r\n";
  if (outcomes.size() > 1) text += StatsTotal(outcomes) + "\r\n";
  platform::WriteStandardError(text);
}

int ExitCodeFor(bool mustMatch, const std::vector<FileOutcome>& outcomes) {
  if (!mustMatch) return 0;
  const bool any = std::any_of(outcomes.begin(), outcomes.end(),
                               [](const FileOutcome& o) { return o.Matched(); });
  return any ? 0 : kExitNothingMatched;
}

FileOutcome PreviewFile(const RunContext& context, const ModeRun& run) {
  InputReadAgain input(context.inputFile);
  DiffLook look;
  look.colour = platform::StandardOutputTakesColour();
  FileDiff diff(
      context.InputShownAs(),
      [&input](char* buffer, std::size_t size) { return input.Read(buffer, size); }, look);
  RunContext captured = context;
  captured.capture = [&diff](std::string_view bytes) { diff.Add(bytes); };
  const FileOutcome outcome = run(captured);
  // A run that must match and matched nothing writes no file: nothing to show.
  if (context.mustMatch && !outcome.Matched()) return outcome;
  const std::string text = diff.Finish();
  // One of many files: its output is held until the files before it are out.
  if (context.outputHandle != platform::kInvalidHandle) {
    std::size_t written = 0;
    if (platform::WriteBytes(context.outputHandle, text.data(), text.size(), written) != 0 ||
        written != text.size()) {
      throw EWriteError("Stream write error");
    }
    return outcome;
  }
  WriteTextBytes(OutputText(), text);
  FlushText(OutputText());
  if (PendingStreamError() != 0) CheckStreamError();
  return outcome;
}
