// What one run of a processing mode reads: its options, its pairs and its file
// names. The command line fills the settings record and the pair lists; the run
// flow turns them into a context once, and a mode reads nothing else, so it can run
// several times in one process (one file after another) and be tested on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "faststrings/fast_strings.h"
#include "faststrings/replace_all.h"
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
  std::string inputName;   // as the user gave it (previews and counts show it); empty: inputFile
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
  // -k=n: each pair replaces only its first n matches (of the whole text in
  // whole-file mode, of each line in line-by-line mode).
  std::size_t mostPerPair = kEveryMatch;
  bool countLines = false;  // --stats: the outcome counts the lines changed
  // --must-match: a run that matched nothing writes no file (standard output
  // still gets the text).
  bool mustMatch = false;
  // --diff: the bytes the run would write to a file go here instead, in order,
  // and nothing is written anywhere; empty for an ordinary run.
  std::function<void(std::string_view)> capture;
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
  const std::string& InputShownAs() const { return inputName.empty() ? inputFile : inputName; }
};

// What a run over one file did: the replacements each pair made, in list order,
// and (when counted) the lines whose text changed. A run over many files adds
// these up (run_outcome.h).
struct FileOutcome {
  std::string inputFile;  // as shown
  std::vector<std::uint64_t> replacements;
  std::uint64_t linesChanged = 0;

  std::uint64_t TotalReplacements() const;
  bool Matched() const { return TotalReplacements() != 0; }
};

// A processing mode (or a preview of one) run over one file.
using ModeRun = std::function<FileOutcome(const RunContext&)>;

// The name that stands for standard input as an input file, and for standard
// output as an output file.
inline constexpr std::string_view kStandardStreamName = "-";

bool ReadsStandardInput(const RunContext& context);

// The context the parsed command line asks for. Pairs are entry i of each list,
// as far as both lists reach.
RunContext RunContextFrom(const TSettings& settings, const TStringList& searches,
                          const TStringList& replaces);
