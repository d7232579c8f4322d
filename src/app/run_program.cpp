#include "app/run_program.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "app/command_line_parser.h"
#include "app/input_set.h"
#include "app/line_by_line_mode.h"
#include "app/many_files.h"
#include "app/run_context.h"
#include "app/run_outcome.h"
#include "app/screen_messages.h"
#include "app/settings.h"
#include "app/whole_file_mode.h"
#include "base/exceptions.h"
#include "console/console.h"
#include "faststrings/fast_strings.h"
#include "log/log.h"
#include "platform/process.h"
#include "platform/system.h"
#include "program/program.h"
#include "regex/regexpr.h"
#include "runtime/process.h"
#include "text/string_list_fast.h"

namespace {

void StartModules() {
  LibStartUp();
  FastStringsStartUp();
  RegExprStartUp();
  LogStartUp();
  // The fast line list has nothing to start.
  ConsoleStartUp();
}

// Files processed at once, at most: more threads than that only wait for the
// disk, and each file being written holds one of the few slots that an
// interruption's clean-up knows.
constexpr unsigned kMostJobs = 64;

// A run that writes each file spends most of its time waiting for the disk to
// take the new file (it is flushed before it takes the old one's place), so it
// runs more files at once than there are processors.
constexpr unsigned kWritingJobsPerProcessor = 4;

unsigned DefaultJobs(bool writesEachFile) {
  const unsigned processors = platform::ProcessorCount();
  return writesEachFile ? processors * kWritingJobsPerProcessor : processors;
}

// No input named at all: neither a file name, nor names after "--", nor a list.
bool NoInputNamed() {
  return Settings.InputFile.empty() && Settings.MoreInputFiles.empty() &&
         Settings.FilesFrom.empty();
}

void ShowScreen() {
  if (Settings.Quiet) return;
  ShowBanner();
  if (Settings.SyntaxRequested || NoInputNamed()) ShowSyntax();
}

// A mistake in how the files are named, found before anything is read: one line
// on standard error, exit code 1.
[[noreturn]] void RefuseNames(std::string_view message) {
  platform::WriteStandardError("Error: " + std::string(message) + "\r\n");
  EndProcess(1);
}

void CheckNames(const RunContext& context, const InputRequest& request) {
  const bool namesStandardInput = std::find(request.names.begin(), request.names.end(),
                                            kStandardStreamName) != request.names.end();
  if (namesStandardInput && context.writeBack) {
    RefuseNames(
        "standard input (-) cannot be written back; leave out -w to have the result on "
        "standard output");
  }
  if (namesStandardInput && Settings.Diff) {
    RefuseNames(
        "--diff compares the input with the result and so reads it twice; standard input (-) "
        "can be read once: save it to a file first");
  }
  // Line-by-line mode compares each line as it passes; whole-file mode reads the
  // input again beside the result.
  if (namesStandardInput && Settings.Stats && !Settings.LineByLine) {
    RefuseNames(
        "--stats counts the changed lines by reading the input again; standard input (-) can "
        "be read once: save it to a file first, or use -l");
  }
  if (namesStandardInput && request.listFile == kStandardStreamName) {
    RefuseNames("standard input (-) cannot be both an input and the list of --files-from=-");
  }
  // "-" as the second name is standard output, where the outputs go anyway.
  if (Settings.OutputNamedSecond && Settings.OutputFile != kStandardStreamName &&
      NamesManyFiles(request)) {
    RefuseNames(
        "a second file name (the output) cannot go with several input files; "
        "-o= collects their outputs in one file");
  }
}

// Each file is written back (or, in line-by-line mode, to its own output file)
// with -w; otherwise the outputs follow each other on standard output or in the
// -o= file.
ManyFilesPlan PlanFor(const RunContext& context, std::vector<std::string> files) {
  ManyFilesPlan plan;
  plan.files = std::move(files);
  // A preview writes no file: its diffs follow each other on standard output.
  plan.ownTargets =
      !Settings.Diff && context.writeBack && (!Settings.LineByLine || context.outputFile.empty());
  plan.jobs = std::min(
      Settings.Jobs > 0 ? static_cast<unsigned>(Settings.Jobs) : DefaultJobs(plan.ownTargets),
      kMostJobs);
  if (!plan.ownTargets && !Settings.Diff) plan.collectedFile = context.outputFile;
  plan.skipBinary = !context.zeroBytesAllowed;
  return plan;
}

void ShowOwnOutputFiles(const ManyFilesPlan& plan) {
  if (!plan.ownTargets || !Settings.LineByLine) return;
  // As a single run says it, once for all files.
  ShowOutputFileInstead("each input's name + .output");
}

// One name that found nothing is reported as a single run reports a missing file.
bool OneNameFoundNothing(const InputRequest& request, const std::vector<std::string>& files) {
  return request.names.size() == 1 && request.listFile.empty() && files.size() == 1 &&
         files.front() == request.names.front() && files.front() != kStandardStreamName &&
         !platform::RegularFileExists(files.front());
}

FileOutcome RunMode(const RunContext& context) {
  return Settings.LineByLine ? RunLineByLine(context) : RunWholeFile(context);
}

// One input file, run or (--diff) previewed.
FileOutcome RunFile(const RunContext& context) {
  if (Settings.Diff) return PreviewFile(context, RunMode);
  return RunMode(context);
}

// The outcomes of the files that went through; a run in which any file failed
// ends with exit code 1 once the others are done (and counted, with --stats).
std::vector<FileOutcome> RunOverFiles(const RunContext& context, const InputRequest& request) {
  std::vector<std::string> files = ExpandInputs(request);
  if (files.empty() || OneNameFoundNothing(request, files)) {
    ShowSyntax();
    FailWith("File not found: " + (request.names.empty() ? std::string() : request.names.front()));
  }
  const ManyFilesPlan plan = PlanFor(context, std::move(files));
  ShowOwnOutputFiles(plan);
  ManyFilesResult result = RunManyFiles(context, plan, RunFile);
  if (!result.allWell) {
    if (Settings.Stats) ReportStats(result.outcomes);
    EndProcess(1);
  }
  return std::move(result.outcomes);
}

// The exit code the run ends with.
int RunSelectedMode() {
  if (Settings.ShowOnly) return 0;
  const RunContext context = RunContextFrom(Settings, *SearchList, *ReplaceList);
  const InputRequest request = InputRequestFrom(Settings);
  CheckNames(context, request);
  const std::vector<FileOutcome> outcomes = NamesManyFiles(request)
                                                ? RunOverFiles(context, request)
                                                : std::vector<FileOutcome>{RunFile(context)};
  if (Settings.Stats) ReportStats(outcomes);
  return ExitCodeFor(context.mustMatch, outcomes);
}

}  // namespace

void ReportCurrentFailure() {
  try {
    throw;
  } catch (const Exception& failure) {
    ReportUnhandledFailure(failure);
  } catch (const std::bad_alloc&) {
    ReportUnhandledFailure(EOutOfMemory());
  } catch (const std::exception& failure) {
    ReportUnhandledFailure(Exception(failure.what()));
  } catch (...) {
    ReportUnhandledFailure(Exception("Unknown failure"));
  }
}

void RunProgram() {
  try {
    StartModules();
    SearchList = std::make_unique<TStringList>();
    ReplaceList = std::make_unique<TStringList>();
    ParseCommandLine();
    if (Settings.VersionRequested) ShowVersion();
    // Without an input file only the streaming mode can run (and it reports the
    // missing file).
    if (NoInputNamed()) Settings.LineByLine = true;
    ShowScreen();
    if (Settings.HelpRequested) ShowHelp();
    const int exitCode = RunSelectedMode();
    SearchList.reset();
    ReplaceList.reset();
    EndProcess(exitCode);
  } catch (...) {
    ReportCurrentFailure();
  }
}
