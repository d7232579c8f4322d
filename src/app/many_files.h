// A run over several files: the chosen mode once per file, with the same pairs
// and options, on several threads. What each file's run would write to standard
// output is held (in a scratch file) until the files before it are out, so the
// outputs follow each other in input order; so do the files' notices and failure
// reports on standard error. A failing file is reported, naming it, and the others
// go on.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_context.h"

struct ManyFilesPlan {
  std::vector<std::string> files;
  unsigned jobs = 1;
  // Each file's run writes its own file (the input with -w, or its own output
  // file): nothing is collected.
  bool ownTargets = false;
  // Otherwise the collected outputs go to this file, one after the other
  // (empty: to standard output).
  std::string collectedFile;
  // A file with a byte 0 near its start is skipped with a notice.
  bool skipBinary = true;
};

// How much of a file's start is looked at for a byte 0.
constexpr std::size_t kBinaryProbeSize = std::size_t{64} << 10;

// Whether a file's first bytes mark it as binary (a byte 0 among them).
bool LooksBinary(std::string_view start);

struct ManyFilesResult {
  bool allWell = true;                // no file failed
  std::vector<FileOutcome> outcomes;  // of the files that went through, in input order
};

// Runs the mode for every file of the plan. Failures of the collected output
// itself (standard output, the -o= file) raise.
ManyFilesResult RunManyFiles(const RunContext& base, const ManyFilesPlan& plan, const ModeRun& run);
