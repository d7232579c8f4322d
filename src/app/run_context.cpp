#include "app/run_context.h"

#include <algorithm>

#include "app/settings.h"
#include "text/string_list.h"

RunContext RunContextFrom(const TSettings& settings, const TStringList& searches,
                          const TStringList& replaces) {
  RunContext context;
  context.inputFile = settings.InputFile;
  // "-" as the output is standard output, as no name is.
  if (settings.OutputFile != kStandardStreamName) context.outputFile = settings.OutputFile;
  context.header = settings.Header;
  context.footer = settings.Footer;
  context.matchExpression = settings.MatchExpression;
  context.lineLimit = settings.LineLimit;
  context.caseMode = settings.CaseSensitive ? CaseMode::Exact : CaseMode::Folded;
  context.searchKind = settings.RegexMode ? SearchKind::Expression : SearchKind::Literal;
  context.writeBack = settings.WriteBack;
  context.quiet = settings.Quiet;
  context.matchOnly = settings.MatchOnly;
  context.zeroBytesAllowed = settings.ZeroBytesAllowed;
  context.zeroSubstitute = settings.ZeroSubstitute;
  context.dosOutput = settings.DosOutput;
  context.unixNewlines = settings.UnixNewlines;
  context.keepLineEnds = settings.KeepLineEnds;
  const std::int32_t count = std::min(searches.Count(), replaces.Count());
  context.pairs.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    context.pairs.push_back({searches.Strings(i), replaces.Strings(i)});
  }
  return context;
}

bool ReadsStandardInput(const RunContext& context) {
  return context.inputFile == kStandardStreamName;
}
