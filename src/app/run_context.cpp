#include "app/run_context.h"

#include <algorithm>
#include <numeric>

#include "app/settings.h"
#include "platform/system.h"
#include "text/string_list.h"

namespace {

// Case-insensitive searches follow the locale: in UTF-8 the letters beyond ASCII
// fold too.
CaseMode FoldingCaseMode() {
  return platform::ActiveCodePage() == platform::CodePage::Utf8 ? CaseMode::FoldedUnicode
                                                                : CaseMode::Folded;
}

}  // namespace

RunContext RunContextFrom(const TSettings& settings, const TStringList& searches,
                          const TStringList& replaces) {
  RunContext context;
  context.inputFile = settings.InputFile;
  context.inputName = settings.InputName;
  // "-" as the output is standard output, as no name is.
  if (settings.OutputFile != kStandardStreamName) context.outputFile = settings.OutputFile;
  context.header = settings.Header;
  context.footer = settings.Footer;
  context.matchExpression = settings.MatchExpression;
  context.lineLimit = settings.LineLimit;
  context.caseMode = settings.CaseSensitive ? CaseMode::Exact : FoldingCaseMode();
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

bool ReadsStandardInput(const RunContext& context) {
  return context.inputFile == kStandardStreamName;
}
