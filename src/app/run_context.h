// What one run of a processing mode reads: its options, its pairs and its file
// names. The command line fills the settings record and the pair lists; the run
// flow turns them into a context once, and a mode reads nothing else, so it can run
// several times in one process (one file after another) and be tested on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faststrings/fast_strings.h"
#include "platform/files.h"

struct TSettings;
class TStringList;

// A search text taken as it is, or as a regular expression (-r) with a template
// as its replacement.
enum class SearchKind { Literal, Expression };

struct SearchReplacePair {
  std::string search;
  std::string replace;
};

struct RunContext {
  std::string inputFile;   // full path
  std::string outputFile;  // full path; empty: standard output (or, with -w, the input)
  std::string header;
  std::string footer;
  std::string matchExpression;  // the -m= line filter; empty: none
  std::int32_t lineLimit = 2147483647;
  CaseMode caseMode = CaseMode::Folded;
  SearchKind searchKind = SearchKind::Literal;
  bool writeBack = false;
  bool quiet = false;
  bool matchOnly = false;
  bool zeroBytesAllowed = false;
  unsigned char zeroSubstitute = 0x01;
  bool dosOutput = false;
  bool unixNewlines = false;
  bool keepLineEnds = false;  // each output line ends as the input's lines did
  std::vector<SearchReplacePair> pairs;
  // One file of a run over several: the mode shows no status lines of its own, and
  // a missing input is raised as a failure (the run goes on with the next file)
  // instead of ending the process.
  bool oneOfMany = false;
  // When valid: what the run would write to standard output goes to this handle
  // (which the run does not close).
  platform::FileHandle outputHandle = platform::kInvalidHandle;
  // A file written through a replacement leaves the flush of its folder to the
  // caller, which flushes each folder once for many files.
  bool folderFlushLeftToCaller = false;

  // The file whole-file mode writes: the input itself with -w (which wins over
  // -o= and a second file name), otherwise outputFile.
  const std::string& WholeFileTarget() const { return writeBack ? inputFile : outputFile; }
};

// The name that stands for standard input as an input file, and for standard
// output as an output file.
inline constexpr std::string_view kStandardStreamName = "-";

bool ReadsStandardInput(const RunContext& context);

// The context the parsed command line asks for. Pairs are entry i of each list,
// as far as both lists reach.
RunContext RunContextFrom(const TSettings& settings, const TStringList& searches,
                          const TStringList& replaces);
