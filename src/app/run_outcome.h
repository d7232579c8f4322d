// What a run tells about its files once they are processed, shaped for a loop
// over many files: a --stats summary per file and one total, the exit code that
// --must-match asks for, and the --diff preview of one file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/run_context.h"

// Exit codes: 0 done, 1 failure (the failure report), 2 nothing matched (only
// with --must-match).
constexpr int kExitNothingMatched = 2;

// "<name>: 5 replacements (1: 3, 2: 2), 4 lines changed": each pair's count in
// list order after the total. One line, no line end.
std::string StatsSummary(const FileOutcome& outcome);
// "N replacements in M of K files": M is the files in which anything matched.
std::string StatsTotal(const std::vector<FileOutcome>& outcomes);
// Both on standard error, each on a line of its own: a summary per file, and
// with several files the total.
void ReportStats(const std::vector<FileOutcome>& outcomes);

// 2 when the run must match and no pair matched anything in any file; else 0.
int ExitCodeFor(bool mustMatch, const std::vector<FileOutcome>& outcomes);

// --diff for one file: the mode runs with its output captured (nothing is
// written anywhere), and the diff of the file against what the mode would
// have written goes to standard output, coloured when that is a terminal that
// wants colour.
FileOutcome PreviewFile(const RunContext& context, const ModeRun& run);
