#include "app/command_line_parser.h"

#include <algorithm>
#include <cstdint>

#include "app/pair_decoding.h"
#include "app/screen_messages.h"
#include "app/settings.h"
#include "platform/files.h"
#include "runtime/command_line.h"
#include "text/conversions.h"

namespace {

// Every accepted form of an option, each between bars; matched by substring.
constexpr std::string_view kHeaderAliases = "|/h|-h|--header|";
constexpr std::string_view kFooterAliases = "|/f|-f|--footer|";
constexpr std::string_view kLineLimitAliases = "|/n|-n|--number-of-lines|";
constexpr std::string_view kOccurrenceAliases = "|/k|-k|--occurrance|--occurrence|";
constexpr std::string_view kMatchAliases = "|/m|-m|--match|";
constexpr std::string_view kOutputAliases = "|/o|-o|--out|";
constexpr std::string_view kZeroAliases = "|/0|-0|--zero|";
constexpr std::string_view kDosAliases = "|/dos|-dos|";
constexpr std::string_view kCaseAliases = "|/c|-c|--case_sensitive|";
constexpr std::string_view kLineByLineAliases = "|/l|-l|--line-by-line|";
constexpr std::string_view kRegexAliases = "|/r|-r|--regexp|";
constexpr std::string_view kWriteAliases = "|/w|-w|--write|";
constexpr std::string_view kVerboseAliases = "|/v|-v|--verbose|";
constexpr std::string_view kShowAliases = "|/s|-s|--show|";
constexpr std::string_view kLetterPairAliases = "|/ps-sv|-ps-sv|--ps-text-svensk|";
constexpr std::string_view kFixPairAliases = "|/fixbtm|-fixbtm|";
constexpr std::string_view kUnixAliases = "|--unix|--unixformat|";
constexpr std::string_view kQuietAliases = "|/q|-q|--quiet|";
constexpr std::string_view kHelpAliases = "|?|/?|-?|--help|";
constexpr std::string_view kKeepLineEndsAliases = "|--keep-eol|";
constexpr std::string_view kVersionAliases = "|--version|";
constexpr std::string_view kDiffAliases = "|--diff|";
constexpr std::string_view kStatsAliases = "|--stats|";
constexpr std::string_view kMustMatchAliases = "|--must-match|";
constexpr std::string_view kFilesFromAliases = "|--files-from|";
constexpr std::string_view kJobsAliases = "|--jobs|";
constexpr std::string_view kRecursiveAliases = "|--recursive|";
// Every argument after it is an input file name.
constexpr std::string_view kEndOfOptions = "--";

void AppendRawPair(std::string search, std::string replace) {
  SearchList->Add(std::move(search));
  ReplaceList->Add(std::move(replace));
}

// "$" + the value's characters 2 and 3 as a hexadecimal byte; anything that does
// not parse leaves the substitute as it was.
void ApplyZeroValue(std::string_view value) {
  Settings.ZeroBytesAllowed = true;
  if (value.size() < 2) return;
  std::string hex = "$" + std::string(value.substr(1, 2));
  std::int32_t parsed = ParseIntOr(hex, -1);
  if (parsed >= 0) Settings.ZeroSubstitute = static_cast<unsigned char>(parsed & 0xFF);
}

// An empty value names no file (rather than the current folder); "-" names a
// standard stream (a file of that name is reached as "./-").
std::string FullPathOrEmpty(std::string_view name) {
  if (name.empty()) return std::string();
  if (name == "-") return std::string(name);
  return platform::FullPathOf(name);
}

void ParseValueArgument(std::string_view argument, std::size_t equalsAt) {
  std::string key = TrimControls(argument.substr(0, equalsAt));
  std::string value = TrimControls(argument.substr(equalsAt + 1));
  if (MatchesAlias(kHeaderAliases, key)) {
    Settings.Header = DecodeFileOrText(value);
  } else if (MatchesAlias(kFooterAliases, key)) {
    Settings.Footer = DecodeFileOrText(value);
  } else if (MatchesAlias(kLineLimitAliases, key)) {
    Settings.LineLimit = ParseIntOr(value, 0);
    Settings.LineByLine = true;
  } else if (MatchesAlias(kOccurrenceAliases, key)) {
    Settings.Occurrence = ParseIntOr(value, 0);
    Settings.OccurrenceGiven = true;
  } else if (MatchesAlias(kMatchAliases, key)) {
    Settings.MatchExpression = value;
    Settings.LineByLine = true;
  } else if (MatchesAlias(kOutputAliases, key)) {
    Settings.OutputFile = FullPathOrEmpty(value);
  } else if (MatchesAlias(kZeroAliases, key)) {
    ApplyZeroValue(value);
  } else if (MatchesAlias(kFilesFromAliases, key)) {
    Settings.FilesFrom = FullPathOrEmpty(value);
  } else if (MatchesAlias(kJobsAliases, key)) {
    Settings.Jobs = std::max<std::int32_t>(ParseIntOr(value, 0), 0);
  } else {
    AddPair(key, value);
  }
}

void TakeFileName(std::string_view argument) {
  if (Settings.InputFile.empty()) {
    Settings.InputFile = FullPathOrEmpty(argument);
    Settings.InputName = argument;
  } else if (Settings.OutputFile.empty()) {
    Settings.OutputFile = FullPathOrEmpty(argument);
    Settings.OutputNamedSecond = true;
  } else {
    ShowHelp();
  }
}

void ParseFlagArgument(std::string_view argument) {
  if (MatchesAlias(kDosAliases, argument)) {
    Settings.DosOutput = true;
  } else if (MatchesAlias(kCaseAliases, argument)) {
    Settings.CaseSensitive = !Settings.CaseSensitive;
  } else if (MatchesAlias(kLineByLineAliases, argument)) {
    Settings.LineByLine = true;
  } else if (MatchesAlias(kRegexAliases, argument)) {
    Settings.RegexMode = true;
  } else if (MatchesAlias(kWriteAliases, argument)) {
    Settings.WriteBack = true;
  } else if (MatchesAlias(kVerboseAliases, argument)) {
    Settings.Verbose = true;
  } else if (MatchesAlias(kShowAliases, argument)) {
    Settings.ShowOnly = true;
  } else if (MatchesAlias(kZeroAliases, argument)) {
    Settings.ZeroBytesAllowed = true;
  } else if (MatchesAlias(kMatchAliases, argument)) {
    Settings.MatchOnly = true;
    Settings.LineByLine = true;
  } else if (MatchesAlias(kLetterPairAliases, argument)) {
    AppendLetterPairs();
  } else if (MatchesAlias(kFixPairAliases, argument)) {
    AppendFixPairs();
  } else if (MatchesAlias(kUnixAliases, argument)) {
    Settings.UnixNewlines = true;
  } else if (MatchesAlias(kQuietAliases, argument)) {
    Settings.Quiet = !Settings.Quiet;
  } else if (MatchesAlias(kHelpAliases, argument)) {
    Settings.SyntaxRequested = !Settings.SyntaxRequested;
    Settings.HelpRequested = !Settings.HelpRequested;
  } else if (MatchesAlias(kKeepLineEndsAliases, argument)) {
    Settings.KeepLineEnds = true;
  } else if (MatchesAlias(kVersionAliases, argument)) {
    Settings.VersionRequested = true;
  } else if (MatchesAlias(kDiffAliases, argument)) {
    Settings.Diff = true;
  } else if (MatchesAlias(kStatsAliases, argument)) {
    Settings.Stats = true;
  } else if (MatchesAlias(kMustMatchAliases, argument)) {
    Settings.MustMatch = true;
  } else if (MatchesAlias(kRecursiveAliases, argument)) {
    Settings.Recursive = true;
  } else {
    TakeFileName(argument);
  }
}

void ParseArgument(std::string_view argument) {
  std::size_t equalsAt = argument.find('=');
  if (equalsAt != std::string_view::npos) {
    ParseValueArgument(argument, equalsAt);
  } else {
    ParseFlagArgument(argument);
  }
}

}  // namespace

bool MatchesAlias(std::string_view aliasList, std::string_view key) {
  std::string wrapped = "|" + AsciiLower(key) + "|";
  return aliasList.find(wrapped) != std::string_view::npos;
}

void AppendLetterPairs() {
  static const char* const kLetterPairs[][2] = {
      {"a*", "\xE5"},  {"a\"", "\xE4"}, {"o\"", "\xF6"}, {"u\"", "\xFC"},
      {"o/", "\xF8"},  {"e`", "\xE8"},  {"A*", "\xC5"},  {"A\"", "\xC4"},
      {"O\"", "\xD6"}, {"O/", "\xD8"},  {"U\"", "\xDC"}, {"E`", "\xC8"},
  };
  for (const auto& pair : kLetterPairs) AppendRawPair(pair[0], pair[1]);
}

void AppendFixPairs() {
  AppendRawPair("\\\\", "\\");
  for (int byte = 0xC0; byte <= 0xFC; ++byte) {
    AppendRawPair(std::string(1, static_cast<char>(byte)), "?");
  }
}

void ParseArguments(const std::vector<std::string>& arguments) {
  auto argument = arguments.begin();
  for (; argument != arguments.end() && *argument != kEndOfOptions; ++argument) {
    ParseArgument(*argument);
  }
  if (argument == arguments.end()) return;
  for (++argument; argument != arguments.end(); ++argument) {
    // An empty argument names no file.
    if (!argument->empty()) Settings.MoreInputFiles.push_back(FullPathOrEmpty(*argument));
  }
  // With no file name before it, the first name after "--" is the input, as a
  // name before it would be.
  if (Settings.InputFile.empty() && !Settings.MoreInputFiles.empty()) {
    Settings.InputFile = Settings.MoreInputFiles.front();
    Settings.MoreInputFiles.erase(Settings.MoreInputFiles.begin());
  }
}

void ParseCommandLine() {
  std::vector<std::string> arguments;
  std::int32_t count = ArgumentCount();
  arguments.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (std::int32_t index = 1; index <= count; ++index) arguments.push_back(Argument(index));
  ParseArguments(arguments);
}
