#include "app/run_program.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "app/command_line_parser.h"
#include "app/line_by_line_mode.h"
#include "app/run_context.h"
#include "app/run_outcome.h"
#include "app/screen_messages.h"
#include "app/settings.h"
#include "app/whole_file_mode.h"
#include "base/exceptions.h"
#include "console/console.h"
#include "faststrings/fast_strings.h"
#include "log/log.h"
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

void ShowScreen() {
  if (Settings.Quiet) return;
  ShowBanner();
  if (Settings.SyntaxRequested || Settings.InputFile.empty()) ShowSyntax();
}

FileOutcome RunMode(const RunContext& context) {
  return Settings.LineByLine ? RunLineByLine(context) : RunWholeFile(context);
}

// One input file, run or (--diff) previewed.
FileOutcome RunFile(const RunContext& context) {
  if (Settings.Diff) return PreviewFile(context, RunMode);
  return RunMode(context);
}

// The exit code the run ends with.
int RunSelectedMode() {
  if (Settings.ShowOnly) return 0;
  const RunContext context = RunContextFrom(Settings, *SearchList, *ReplaceList);
  const std::vector<FileOutcome> outcomes = {RunFile(context)};
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
    if (Settings.InputFile.empty()) Settings.LineByLine = true;
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
