#include "app/run_context.h"

#include <algorithm>
#include <numeric>

#include "app/settings.h"
#include "text/string_list.h"

RunContext RunContextFrom(const TSettings& settings, const TStringList& searches,
                          const TStringList& replaces) {
  RunContext context;
  context.inputFile = settings.InputFile;
  context.inputName = settings.InputName;
  context.outputFile = settings.OutputFile;
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
  // 0, a negative or an unreadable value: every match, as without -k.
  if (settings.Occurrence > 0) context.mostPerPair = static_cast<std::size_t>(settings.Occurrence);
  context.countLines = settings.Stats;
  context.mustMatch = settings.MustMatch;
  const std::int32_t count = std::min(searches.Count(), replaces.Count());
  context.pairs.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    context.pairs.push_back({searches.Strings(i), replaces.Strings(i)});
  }
  return context;
}

std::uint64_t FileOutcome::TotalReplacements() const {
  return std::accumulate(replacements.begin(), replacements.end(), std::uint64_t{0});
}
