#include "app/command_line_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "app/settings.h"
#include "app_fixture.h"
#include "platform/files.h"

namespace apptest {
namespace {

using ParserTest = AppTest;

struct FlagCase {
  std::vector<std::string> forms;
  bool TSettings::*field;
  bool toggles;
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

const std::vector<FlagCase>& FlagCases() {
  static const std::vector<FlagCase> cases = {
      {{"/dos", "-dos"}, &TSettings::DosOutput, false},
      {{"/c", "-c", "--case_sensitive"}, &TSettings::CaseSensitive, true},
      {{"/l", "-l", "--line-by-line"}, &TSettings::LineByLine, false},
      {{"/r", "-r", "--regexp"}, &TSettings::RegexMode, false},
      {{"/w", "-w", "--write"}, &TSettings::WriteBack, false},
      {{"/v", "-v", "--verbose"}, &TSettings::Verbose, false},
      {{"/s", "-s", "--show"}, &TSettings::ShowOnly, false},
      {{"/0", "-0", "--zero"}, &TSettings::ZeroBytesAllowed, false},
      {{"/m", "-m", "--match"}, &TSettings::MatchOnly, false},
      {{"--unix", "--unixformat"}, &TSettings::UnixNewlines, false},
      {{"--keep-eol"}, &TSettings::KeepLineEnds, false},
      {{"--version"}, &TSettings::VersionRequested, false},
      {{"--recursive"}, &TSettings::Recursive, false},
      {{"/q", "-q", "--quiet"}, &TSettings::Quiet, true},
      {{"?", "/?", "-?", "--help"}, &TSettings::HelpRequested, true},
  };
  return cases;
}

TEST_F(ParserTest, EveryFlagFormInEitherCaseSetsItsFieldOnly) {
  for (const FlagCase& flag : FlagCases()) {
    for (const std::string& lowerForm : flag.forms) {
      for (const std::string& form : {lowerForm, Upper(lowerForm)}) {
        SCOPED_TRACE(form);
        Settings = TSettings{};
        ParseArguments({form});
        EXPECT_TRUE(Settings.*flag.field);
        EXPECT_TRUE(Settings.InputFile.empty()) << "taken as a file name";
        EXPECT_EQ(SearchList->Count(), 0);
        for (const FlagCase& other : FlagCases()) {
          if (other.field == flag.field) continue;
          bool linkedLineByLine =
              flag.field == &TSettings::MatchOnly && other.field == &TSettings::LineByLine;
          EXPECT_EQ(Settings.*other.field, linkedLineByLine) << other.forms[0];
        }
      }
    }
  }
}

TEST_F(ParserTest, ToggledFlagsGivenTwiceAreOffAgainOthersStayOn) {
  for (const FlagCase& flag : FlagCases()) {
    SCOPED_TRACE(flag.forms[0]);
    Settings = TSettings{};
    ParseArguments({flag.forms[0], Upper(flag.forms.back())});
    EXPECT_EQ(Settings.*flag.field, !flag.toggles);
  }
}

TEST_F(ParserTest, HelpFlagTogglesSyntaxAndHelpTogether) {
  ParseArguments({"-?"});
  EXPECT_TRUE(Settings.SyntaxRequested);
  EXPECT_TRUE(Settings.HelpRequested);
  ParseArguments({"--HELP"});
  EXPECT_FALSE(Settings.SyntaxRequested);
  EXPECT_FALSE(Settings.HelpRequested);
}

TEST_F(ParserTest, ZeroFlagLeavesTheSubstituteAlone) {
  ParseArguments({"-0=x1F", "-0"});
  EXPECT_TRUE(Settings.ZeroBytesAllowed);
  EXPECT_EQ(Settings.ZeroSubstitute, 0x1F);
}

TEST_F(ParserTest, NearMissesOfFlagsAreFileNames) {
  ScratchFolder folder;
  // "--dos" has no alias; "-unix" lacks a dash; "c" lacks the dash; "-cc" is no option.
  // "--version" is whole or nothing: "-version", "--versio", "version" and "--versions"
  // stay file names, as they always were.
  for (const char* argument : {"--dos", "-unix", "c", "-cc", "--quiet-mode", "-version", "--versio",
                               "version", "--versions"}) {
    SCOPED_TRACE(argument);
    Settings = TSettings{};
    ParseArguments({argument});
    EXPECT_EQ(Settings.InputFile, (folder / argument));
    EXPECT_FALSE(Settings.DosOutput || Settings.UnixNewlines || Settings.CaseSensitive ||
                 Settings.Quiet || Settings.VersionRequested);
  }
}

TEST_F(ParserTest, DashNamesAStandardStreamAndDotSlashDashAFile) {
  ScratchFolder folder;
  ParseArguments({"-", "-"});
  EXPECT_EQ(Settings.InputFile, "-");
  EXPECT_EQ(Settings.OutputFile, "-");
  EXPECT_TRUE(Settings.OutputNamedSecond);
  Settings = TSettings{};
  ParseArguments({"./-", "-o=-"});
  EXPECT_EQ(Settings.InputFile, folder / "-");
  EXPECT_EQ(Settings.OutputFile, "-");
  EXPECT_FALSE(Settings.OutputNamedSecond);
}

TEST_F(ParserTest, EverythingAfterTheEndOfOptionsIsAnInputName) {
  ScratchFolder folder;
  ParseArguments({"a=b", "first.txt", "--", "-w", "x=y", "--", "-", "", "--keep-eol"});
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"a", "b"}}));
  EXPECT_EQ(Settings.InputFile, folder / "first.txt");
  EXPECT_FALSE(Settings.WriteBack || Settings.KeepLineEnds);
  // The empty argument names nothing; "-" stays standard input.
  EXPECT_EQ(Settings.MoreInputFiles,
            (std::vector<std::string>{folder / "-w", folder / "x=y", folder / "--", "-",
                                      folder / "--keep-eol"}));
  EXPECT_TRUE(Settings.OutputFile.empty());
}

TEST_F(ParserTest, WithoutANameBeforeTheEndOfOptionsTheFirstAfterItIsTheInput) {
  ScratchFolder folder;
  ParseArguments({"a=b", "--", "one.txt"});
  EXPECT_EQ(Settings.InputFile, folder / "one.txt");
  EXPECT_TRUE(Settings.MoreInputFiles.empty());
  Settings = TSettings{};
  ParseArguments({"--", "-", "two.txt"});
  EXPECT_EQ(Settings.InputFile, "-");
  EXPECT_EQ(Settings.MoreInputFiles, (std::vector<std::string>{folder / "two.txt"}));
}

TEST_F(ParserTest, ManyFileOptions) {
  ScratchFolder folder;
  struct Case {
    std::vector<std::string> arguments;
    std::string filesFrom;
    std::int32_t jobs;
    bool recursive;
  };
  const Case cases[] = {
      {{"--files-from=list.txt"}, folder / "list.txt", 0, false},
      {{"--FILES-FROM=-"}, "-", 0, false},
      {{"--jobs=3", "--Recursive"}, "", 3, true},
      {{"--jobs=-2"}, "", 0, false},
      {{"--jobs=many"}, "", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    Settings = TSettings{};
    ParseArguments(c.arguments);
    EXPECT_EQ(Settings.FilesFrom, c.filesFrom);
    EXPECT_EQ(Settings.Jobs, c.jobs);
    EXPECT_EQ(Settings.Recursive, c.recursive);
    EXPECT_TRUE(Settings.InputFile.empty());
    EXPECT_TRUE(Pairs().empty());
  }
  // Near misses stay what they were: a file name, a pair.
  Settings = TSettings{};
  ParseArguments({"-recursive", "--jobs", "--recursive=1"});
  EXPECT_FALSE(Settings.Recursive);
  EXPECT_EQ(Settings.InputFile, folder / "-recursive");
  EXPECT_EQ(Settings.OutputFile, folder / "--jobs");
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"--recursive", "1"}}));
}

TEST_F(ParserTest, VersionWithAValueIsAPairAsBefore) {
  ParseArguments({"--version=2"});
  EXPECT_FALSE(Settings.VersionRequested);
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"--version", "2"}}));
}

TEST_F(ParserTest, HeaderAndFooterTakeDecodedValues) {
  ParseArguments({"-h=Top\\tline", "--FOOTER=end\\e"});
  EXPECT_EQ(Settings.Header, "Top\tline");
  EXPECT_EQ(Settings.Footer, "end=");
  ParseArguments({"/h=", "/f=x"});
  EXPECT_EQ(Settings.Header, "");
  EXPECT_EQ(Settings.Footer, "x");
  EXPECT_EQ(SearchList->Count(), 0);
}

TEST_F(ParserTest, HeaderFromAFileIsItsContentWithLineEnds) {
  ScratchFolder folder;
  folder.Write("top.txt", "first\\x41\nsecond");
  ParseArguments({"-h=top.txt"});
  EXPECT_EQ(Settings.Header, "firstA\r\nsecond\r\n");
}

struct IntegerCase {
  std::string argument;
  std::int32_t expected;
};

TEST_F(ParserTest, LineLimitParsesOrBecomesZeroAndSelectsLineByLine) {
  const std::vector<IntegerCase> cases = {
      {"-n=10", 10},        {"/N=$1F", 31},  {"--number-of-lines=0x10", 16},
      {"-n=abc", 0},        {"-n=", 0},      {"-n=-5", -5},
      {"-n=2147483648", 0}, {"-n= 42 ", 42},  // the value is trimmed first
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.argument);
    Settings = TSettings{};
    ParseArguments({c.argument});
    EXPECT_EQ(Settings.LineLimit, c.expected);
    EXPECT_TRUE(Settings.LineByLine);
  }
}

// The help page's own spelling works as well as the parser's old one.
TEST_F(ParserTest, OccurrenceTakesBothSpellings) {
  ParseArguments({"-k=3"});
  EXPECT_EQ(Settings.Occurrence, 3);
  EXPECT_TRUE(Settings.OccurrenceGiven);
  Settings = TSettings{};
  ParseArguments({"--occurrance=x"});
  EXPECT_EQ(Settings.Occurrence, 0);
  EXPECT_TRUE(Settings.OccurrenceGiven);

  Settings = TSettings{};
  ParseArguments({"--OCCURRENCE=3"});
  EXPECT_EQ(Settings.Occurrence, 3);
  EXPECT_TRUE(Settings.OccurrenceGiven);
  EXPECT_EQ(Pairs(), (std::vector<Pair>{}));
}

// -k=0, a negative or unreadable value: every match; n >= 1 limits each pair.
TEST_F(ParserTest, OccurrenceLimitsEachPairOnlyWhenPositive) {
  const struct {
    const char* argument;
    std::size_t most;
  } cases[] = {{"-k=1", 1},           {"-k=12", 12},          {"-k=x10", 16},
               {"-k=0", kEveryMatch}, {"-k=-4", kEveryMatch}, {"-k=abc", kEveryMatch}};
  for (const auto& c : cases) {
    Settings = TSettings{};
    ParseArguments({c.argument});
    const RunContext context = RunContextFrom(Settings, *SearchList, *ReplaceList);
    EXPECT_EQ(context.mostPerPair, c.most) << c.argument;
  }
  Settings = TSettings{};
  ParseArguments({"a=b"});
  EXPECT_EQ(RunContextFrom(Settings, *SearchList, *ReplaceList).mostPerPair, kEveryMatch);
}

TEST_F(ParserTest, PreviewStatsAndMustMatchAreFlagsInAnyCase) {
  ParseArguments({"--DIFF", "--Stats", "--must-MATCH"});
  EXPECT_TRUE(Settings.Diff);
  EXPECT_TRUE(Settings.Stats);
  EXPECT_TRUE(Settings.MustMatch);
  EXPECT_EQ(Settings.InputFile, "");
  const RunContext context = RunContextFrom(Settings, *SearchList, *ReplaceList);
  EXPECT_TRUE(context.countLines);
  EXPECT_TRUE(context.mustMatch);
  // With "=" they are pairs, as every unknown key is.
  Settings = TSettings{};
  ParseArguments({"--diff=x"});
  EXPECT_FALSE(Settings.Diff);
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"--diff", "x"}}));
}

TEST_F(ParserTest, MatchExpressionIsTakenVerbatim) {
  ParseArguments({"-m=^a\\n\\x41.*\\\\$"});
  EXPECT_EQ(Settings.MatchExpression, "^a\\n\\x41.*\\\\$");
  EXPECT_TRUE(Settings.LineByLine);
  EXPECT_FALSE(Settings.MatchOnly);
}

TEST_F(ParserTest, OutputOptionExpandsToAFullPath) {
  ScratchFolder folder;
  ParseArguments({"-o=sub/../out.txt"});
  EXPECT_EQ(Settings.OutputFile, (folder / "out.txt"));
  ParseArguments({"--OUT=/abs/./x.txt"});
  EXPECT_EQ(Settings.OutputFile, platform::FullPathOf("/abs/x.txt"));
}

struct ZeroCase {
  std::string argument;
  int substitute;
};

TEST_F(ParserTest, ZeroValueSetsTheSubstituteFromCharactersTwoAndThree) {
  const std::vector<ZeroCase> cases = {
      {"-0=x1F", 0x1F}, {"-0=x7", 0x07},      {"-0=x", 0x01},   {"-0=5", 0x01},
      {"-0=xZZ", 0x01}, {"-0=x1f", 0x1F},     {"-0=xFF", 0xFF}, {"-0=x100", 0x10},
      {"-0=", 0x01},    {"--zero=$00", 0x00}, {"/0=-A", 0x0A},
  };
  for (const ZeroCase& c : cases) {
    SCOPED_TRACE(c.argument);
    Settings = TSettings{};
    ParseArguments({c.argument});
    EXPECT_TRUE(Settings.ZeroBytesAllowed);
    EXPECT_EQ(Settings.ZeroSubstitute, c.substitute);
    EXPECT_EQ(SearchList->Count(), 0);
  }
}

TEST_F(ParserTest, AnythingElseWithAnEqualSignIsAPairSplitAtTheFirstOne) {
  ParseArguments({"cat=dog", "=x", "a=", "k=v=w", "\t x \r=\n y\x01", "-C=D", "-hx=1"});
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"cat", "dog"},
                                        {"", "x"},
                                        {"a", ""},
                                        {"k", "v=w"},
                                        {"x", "y"},
                                        {"-C", "D"},
                                        {"-hx", "1"}}));
  EXPECT_TRUE(Settings.Header.empty());
}

TEST_F(ParserTest, TrimmedKeyStillFindsItsOption) {
  ParseArguments({" -h\t= Top "});
  EXPECT_EQ(Settings.Header, "Top");
  EXPECT_EQ(SearchList->Count(), 0);
}

TEST_F(ParserTest, PairsKeepTheirOrderAmongFixedSets) {
  ParseArguments({"a=b", "-fixbtm", "c=d"});
  auto pairs = Pairs();
  ASSERT_EQ(pairs.size(), 64u);
  EXPECT_EQ(pairs.front(), (Pair{"a", "b"}));
  EXPECT_EQ(pairs.back(), (Pair{"c", "d"}));
}

TEST_F(ParserTest, RegexFlagAffectsOnlyLaterPairs) {
  ParseArguments({"\\n=\\t", "-r", "\\n=\\t", "\\q=\\\\"});
  EXPECT_TRUE(Settings.RegexMode);
  EXPECT_EQ(Pairs(), (std::vector<Pair>{{"\n", "\t"}, {"\\n", "\\t"}, {"\"", "\\\\"}}));
}

TEST_F(ParserTest, LetterPairsAreAppendedVerbatimInOrder) {
  for (const char* form : {"-ps-sv", "/PS-SV", "--ps-text-svensk"}) {
    SCOPED_TRACE(form);
    SearchList = std::make_unique<TStringList>();
    ReplaceList = std::make_unique<TStringList>();
    ParseArguments({form});
    EXPECT_EQ(Pairs(), (std::vector<Pair>{{"a*", "\xE5"},
                                          {"a\"", "\xE4"},
                                          {"o\"", "\xF6"},
                                          {"u\"", "\xFC"},
                                          {"o/", "\xF8"},
                                          {"e`", "\xE8"},
                                          {"A*", "\xC5"},
                                          {"A\"", "\xC4"},
                                          {"O\"", "\xD6"},
                                          {"O/", "\xD8"},
                                          {"U\"", "\xDC"},
                                          {"E`", "\xC8"}}));
  }
}

TEST_F(ParserTest, FixPairsAreADoubledBackslashThenEveryByteC0ToFC) {
  ParseArguments({"-FIXBTM"});
  auto pairs = Pairs();
  ASSERT_EQ(pairs.size(), 62u);
  EXPECT_EQ(pairs[0], (Pair{"\\\\", "\\"}));
  for (std::size_t i = 1; i < pairs.size(); ++i) {
    ASSERT_EQ(pairs[i].first.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(pairs[i].first[0]), 0xC0 + i - 1);
    EXPECT_EQ(pairs[i].second, "?");
  }
}

TEST_F(ParserTest, FixedSetsIgnoreRegexModeAndAreNotDecoded) {
  ParseArguments({"-r", "-fixbtm"});
  EXPECT_EQ(SearchList->Strings(0), "\\\\");
  EXPECT_EQ(ReplaceList->Strings(0), "\\");
}

TEST_F(ParserTest, PlainArgumentsFillInputThenOutputAsFullPaths) {
  ScratchFolder folder;
  ParseArguments({"in.txt", "-c", "./sub/../out.txt"});
  EXPECT_EQ(Settings.InputFile, (folder / "in.txt"));
  EXPECT_EQ(Settings.OutputFile, (folder / "out.txt"));
  EXPECT_TRUE(Settings.CaseSensitive);
  Settings = TSettings{};
  ParseArguments({"/data/../data/./pets.txt"});
  EXPECT_EQ(Settings.InputFile, platform::FullPathOf("/data/pets.txt"));
}

TEST_F(ParserTest, OutputOptionLeavesTheInputSlotToThePlainArgument) {
  ScratchFolder folder;
  ParseArguments({"-o=out.txt", "in.txt"});
  EXPECT_EQ(Settings.InputFile, (folder / "in.txt"));
  EXPECT_EQ(Settings.OutputFile, (folder / "out.txt"));
}

using ParserDeathTest = ParserTest;

TEST_F(ParserDeathTest, ThirdFileNameShowsHelpAndExitsWithZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The help page goes to standard output; keep it out of the test log.
  auto parseQuietly = [](std::vector<std::string> arguments) {
    if (!std::freopen("/dev/null", "w", stdout)) return;
    ParseArguments(arguments);
  };
  EXPECT_EXIT(parseQuietly({"a.txt", "b.txt", "c.txt"}), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(parseQuietly({"-o=x", "a.txt", "b.txt"}), ::testing::ExitedWithCode(0), "");
}

TEST_F(ParserTest, AliasLookupIsASubstringTestOnTheWrappedLowerCasedKey) {
  EXPECT_TRUE(MatchesAlias("|/c|-c|--case_sensitive|", "-C"));
  EXPECT_TRUE(MatchesAlias("|/c|-c|--case_sensitive|", "-c|--CASE_SENSITIVE"));
  EXPECT_FALSE(MatchesAlias("|/c|-c|--case_sensitive|", "c"));
  EXPECT_FALSE(MatchesAlias("|/c|-c|--case_sensitive|", ""));
  EXPECT_FALSE(MatchesAlias("|/c|-c|--case_sensitive|", "-c "));
  // Only A..Z fold: a byte above 127 never matches an ASCII alias.
  EXPECT_FALSE(MatchesAlias("|/dos|-dos|", "-d\xD6s"));
}

}  // namespace
}  // namespace apptest
