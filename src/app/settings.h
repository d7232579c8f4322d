// The process-wide settings record and the two pair lists, read directly by the
// parts that need them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/string_list.h"

struct TSettings {
  std::string InputFile;           // full path
  std::string InputName;           // as given on the command line
  std::string OutputFile;          // full path
  bool OutputNamedSecond = false;  // the output came as the second file name
  std::string Header;
  std::string Footer;
  std::int32_t LineLimit = 2147483647;
  std::int32_t Occurrence = 0;
  bool OccurrenceGiven = false;
  bool Quiet = false;
  bool CaseSensitive = false;
  bool ZeroBytesAllowed = false;
  unsigned char ZeroSubstitute = 0x01;
  bool LineByLine = false;
  bool SyntaxRequested = false;
  bool HelpRequested = false;
  bool WriteBack = false;
  bool Verbose = false;
  std::string MatchExpression;
  bool ShowOnly = false;
  bool DosOutput = false;
  bool RegexMode = false;
  bool MatchOnly = false;
  bool UnixNewlines = false;
  bool KeepLineEnds = false;                // --keep-eol
  bool VersionRequested = false;            // --version
  bool Diff = false;                        // --diff
  bool Stats = false;                       // --stats
  bool MustMatch = false;                   // --must-match
  std::vector<std::string> MoreInputFiles;  // the names after "--" (full paths, or "-")
  std::string FilesFrom;                    // --files-from=: the list's name ("-": standard input)
  bool Recursive = false;                   // --recursive
  std::int32_t Jobs = 0;  // --jobs=: threads for a run over several files; 0: one per processor
};

extern TSettings Settings;
extern std::unique_ptr<TStringList> SearchList;
extern std::unique_ptr<TStringList> ReplaceList;
