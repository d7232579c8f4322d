// Whole-file mode in blocks against the whole-text way and the line-list path it
// stands for: random files (CR, LF, CR LF, bytes 0 and 26, letters of both cases,
// accented letters) with random pairs written with escapes, random options
// (letter case, -0 and its substitute, -dos, --unix, --keep-eol, header, footer,
// standard output, an output file, -w) and random tiny blocks on one or two
// threads, so every seam is crossed: the same bytes written, the same bytes 0
// reported, the same failures, the input file left alone where it must be.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/pair_decoding.h"
#include "app/whole_file_stream.h"
#include "app/whole_text.h"
#include "app_fixture.h"
#include "base/exceptions.h"
#include "faststrings/replace_all.h"
#include "oem/oem.h"
#include "platform/files.h"
#include "regex/regexpr.h"
#include "text/line_text.h"
#include "text/string_list_fast.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;
using test_support::ReadFile;

const std::string kFileAlphabet = "aAbB\r\n\r\n\0\x1A\xC4\xE4"s;
const std::vector<std::string> kEscapedPieces = {"a",      "A",     "b",   "\\r",   "\\n",
                                                 "\\r\\n", "\\x00", "\\z", "\\xC4", "\\xE4"};

enum class Target { StandardOutput, OtherFile, WriteBack, InputNamedAsOutput };

// Under wine every file made and every thread started costs many times more; the
// Windows build runs a sample of the rounds.
#if defined(_WIN32)
constexpr int kRoundDivisor = 25;
#else
constexpr int kRoundDivisor = 1;
#endif

// Stand-ins for the names of a run's own input and output files.
const std::string kInput = "<input>";
const std::string kOutput = "<output>";

struct Outcome {
  std::string written;  // standard output or the output file ("<none>": no file)
  std::string inputAfter;
  TextCuts cuts;
  std::vector<std::uint64_t> replacements;  // per pair
  std::uint64_t linesChanged = 0;
  std::string failure;  // class and message, empty when the run succeeded

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "written " << testing::PrintToString(o.written) << " input "
             << testing::PrintToString(o.inputAfter) << " cuts " << o.cuts.inFile << "/"
             << o.cuts.inProcessedText << " replacements " << testing::PrintToString(o.replacements)
             << " lines changed " << o.linesChanged << " failure " << o.failure;
}

bool SameByte(char a, char b, CaseMode caseMode) {
  if (caseMode == CaseMode::Exact) return a == b;
  return UpperTable[static_cast<unsigned char>(a)] == UpperTable[static_cast<unsigned char>(b)];
}

// Replace-all the slow way: at each position, compare byte by byte; a match is
// replaced and the search goes on after it, until `most` are replaced.
std::string NaiveReplace(std::string_view text, std::string_view search, std::string_view replace,
                         CaseMode caseMode, std::size_t most, std::uint64_t& count) {
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    bool match = !search.empty() && count < most && text.size() - at >= search.size();
    for (std::size_t i = 0; match && i < search.size(); ++i) {
      match = SameByte(text[at + i], search[i], caseMode);
    }
    if (match) {
      result += replace;
      at += search.size();
      ++count;
    } else {
      result += text[at++];
    }
  }
  return result;
}

// The same for an expression, through the expression object's own match loop.
std::string NaiveRegexReplace(std::string_view text, const std::string& expression,
                              std::string_view templ, std::size_t most, std::uint64_t& count) {
  TRegExpr regex;
  regex.SetExpression(expression);
  if (most == 0 || !regex.Exec(text)) return std::string(text);
  std::string result;
  std::size_t copied = 0;
  do {
    const auto start = static_cast<std::size_t>(regex.GroupStart(0) - 1);
    result.append(text.substr(copied, start - copied));
    result += regex.ExpandTemplate(templ);
    copied = start + static_cast<std::size_t>(regex.GroupLength(0));
  } while (++count < most && regex.ExecNext());
  result.append(text.substr(copied));
  return result;
}

// The lines of a text, ends left out: CR LF, CR or LF end one.
std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      line += text[i];
      open = true;
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(line);
    line.clear();
    open = false;
  }
  if (open) lines.push_back(line);
  return lines;
}

// Lines that differ from the line at the same place of the other text, or that
// only one of them has.
std::uint64_t NaiveLinesChanged(std::string_view before, std::string_view after) {
  const std::vector<std::string> a = LinesOf(before);
  const std::vector<std::string> b = LinesOf(after);
  std::uint64_t changed = std::max(a.size(), b.size()) - std::min(a.size(), b.size());
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) changed += a[i] != b[i];
  return changed;
}

std::size_t FirstZero(std::string_view text) {
  const std::size_t zero = text.find('\0');
  return zero == std::string_view::npos ? kNotCut : zero;
}

class WholeFileStreamingTest : public apptest::AppTest {
 protected:
  std::string RandomText(std::string_view alphabet, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length(rng_), ' ');
    for (char& c : text) c = alphabet[pick(rng_)];
    return text;
  }
  // A pair text as typed, with escapes, then decoded as the command line does.
  std::string RandomPairText(int maxPieces) {
    std::string typed;
    for (int i = std::uniform_int_distribution<int>(0, maxPieces)(rng_); i > 0; --i) {
      typed += kEscapedPieces[std::uniform_int_distribution<std::size_t>(
          0, kEscapedPieces.size() - 1)(rng_)];
    }
    return DecodeEscapes(typed);
  }
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }

  RunContext RandomContext(Target target) {
    RunContext context;
    context.inputFile = kInput;
    context.outputFile = target == Target::OtherFile            ? kOutput
                         : target == Target::InputNamedAsOutput ? kInput
                                                                : "";
    context.writeBack = target == Target::WriteBack;
    context.caseMode = Chance(50) ? CaseMode::Exact : CaseMode::Folded;
    context.zeroBytesAllowed = Chance(30);
    const unsigned char substitutes[] = {0x01, '\r', '\n', 0, 'z'};
    context.zeroSubstitute = substitutes[std::uniform_int_distribution<int>(0, 4)(rng_)];
    context.dosOutput = Chance(15);
    context.unixNewlines = Chance(30);
    context.keepLineEnds = Chance(40);
    if (Chance(20)) context.header = RandomText(kFileAlphabet, 3);
    if (Chance(20)) context.footer = RandomText(kFileAlphabet, 3);
    for (int i = std::uniform_int_distribution<int>(0, 3)(rng_); i > 0; --i) {
      context.pairs.push_back({RandomPairText(3), RandomPairText(4)});
    }
    if (Chance(30)) context.mostPerPair = std::uniform_int_distribution<std::size_t>(1, 3)(rng_);
    context.countLines = Chance(50);
    context.mustMatch = Chance(20);
    return context;
  }

  // A file of its own for every run: rewriting one over and over (or renaming
  // over it) makes the file system flush it each time, which only slows the test.
  std::string FreshFile(const std::string& input) {
    const std::string name = folder_ / ("in" + std::to_string(++files_));
    test_support::WriteFile(name, input);
    return name;
  }

  // One run over a fresh copy of the input (the context names it kInput, its
  // output file kOutput); what it wrote, what it left. The copy's name reads
  // kInput again in failure messages.
  Outcome Run(RunContext context, const std::string& input,
              const std::function<WholeFileResult(const RunContext&)>& process) {
    const std::string inputFile = FreshFile(input);
    const std::string outputFile = folder_ / ("out" + std::to_string(files_));
    context.inputFile = inputFile;
    if (context.outputFile == kInput) context.outputFile = inputFile;
    if (context.outputFile == kOutput) context.outputFile = outputFile;
    const bool toStandardOutput = context.WholeFileTarget().empty();
    const std::string capture = folder_ / ("stdout" + std::to_string(files_));
    if (toStandardOutput) BindTextFile(OutputText(), capture);
    Outcome outcome;
    try {
      const WholeFileResult result = process(context);
      outcome.cuts = result.cuts;
      outcome.replacements = result.replacements;
      outcome.linesChanged = result.linesChanged;
    } catch (const Exception& failure) {
      outcome.failure = std::string(failure.ClassName()) + ": " + failure.Message();
      for (std::size_t at; (at = outcome.failure.find(inputFile)) != std::string::npos;) {
        outcome.failure.replace(at, inputFile.size(), kInput);
      }
    }
    if (toStandardOutput) {
      if (OutputText().mode == TextStreamMode::Writing) CloseText(OutputText());
      BindTextFile(OutputText(), "");
      TakePendingStreamError();
      outcome.written = std::filesystem::exists(capture) ? ReadFile(capture) : "";
    } else {
      const std::string& target = context.WholeFileTarget();
      outcome.written = target == inputFile               ? ""
                        : std::filesystem::exists(target) ? ReadFile(target)
                                                          : "<none>";
    }
    outcome.inputAfter = ReadFile(inputFile);
    return outcome;
  }

  Outcome Streamed(const RunContext& context, const std::string& input, std::size_t maxBlock) {
    StreamSettings settings;
    settings.blockSize = std::uniform_int_distribution<std::size_t>(1, maxBlock)(rng_);
    // Two threads with tiny blocks hand over a block per byte or two: a few rounds
    // suffice to cross the queue at every seam, and each handover waits for the
    // other thread to be scheduled.
    settings.threads = Chance(10) ? StreamThreads::Two : StreamThreads::One;
    SCOPED_TRACE("blocks of " + std::to_string(settings.blockSize));
    return Run(context, input, [&](const RunContext& c) { return StreamWholeFile(c, settings); });
  }

  Outcome WholeText(const RunContext& context, const std::string& input) {
    return Run(context, input, ProcessWholeText);
  }

  // What the line-list path writes: the list loaded and joined, every pair
  // replaced in turn, -dos, split into lines, header and footer, written with CR
  // LF or LF (to standard output as one more line). A byte 0 that would cut a
  // text written back over its input is refused instead.
  Outcome ListPath(const RunContext& context, const std::string& input) {
    Outcome outcome;
    outcome.inputAfter = input;
    TStringListFast list;
    const std::string inputFile = FreshFile(input);
    if (context.zeroBytesAllowed) {
      list.LoadFromFileNul(inputFile, static_cast<char>(context.zeroSubstitute));
    } else {
      LoadLines(list, inputFile);
      outcome.cuts.inFile = FirstZero(input);
    }
    std::string text = JoinLines(list);
    for (const SearchReplacePair& pair : context.pairs) {
      std::uint64_t count = 0;
      text = context.searchKind == SearchKind::Expression
                 ? NaiveRegexReplace(text, pair.search, pair.replace, context.mostPerPair, count)
                 : NaiveReplace(text, pair.search, pair.replace, context.caseMode,
                                context.mostPerPair, count);
      outcome.replacements.push_back(count);
    }
    if (context.dosOutput) text = ToOemText(text);
    outcome.cuts.inProcessedText = FirstZero(text);
    if (context.countLines) {
      std::string before = input;
      if (!context.zeroBytesAllowed && FirstZero(input) != kNotCut) {
        before.resize(FirstZero(input));
        if (before.empty()) before = "\n";
      }
      // A byte 0 cuts either text; one at the very start leaves one empty line.
      const std::string after = FirstZero(text) == 0 ? "\n" : text.substr(0, FirstZero(text));
      outcome.linesChanged = NaiveLinesChanged(before, after);
    }
    const bool writesInput = context.writeBack || context.outputFile == kInput;
    if (writesInput && outcome.cuts.inFile != kNotCut) {
      outcome.failure = "ERefusal: Error: byte 0 at offset " + std::to_string(outcome.cuts.inFile) +
                        " of \"" + kInput +
                        "\": the rest of the text would be dropped, so the file is not written; "
                        "-0 keeps it";
      outcome.cuts = {};
      return outcome;
    }
    const bool matched = std::any_of(outcome.replacements.begin(), outcome.replacements.end(),
                                     [](std::uint64_t n) { return n != 0; });
    // --must-match, nothing matched: no file is written (nor refused).
    if (context.mustMatch && !matched && !context.WholeFileTarget().empty()) {
      if (!writesInput) outcome.written = "<none>";
      return outcome;
    }
    SplitIntoLines(list, text);
    if (!context.header.empty()) list.Insert(0, context.header);
    if (!context.footer.empty()) list.Add(context.footer);
    std::string written = context.unixNewlines ? list.GetTextLF() : JoinLines(list);
    if (writesInput && outcome.cuts.inProcessedText != kNotCut) {
      outcome.failure = "ERefusal: Error: byte 0 at offset " +
                        std::to_string(outcome.cuts.inProcessedText) +
                        " of the processed text of \"" + kInput +
                        "\": the rest of the text would be dropped, so the file is not written";
      outcome.cuts = {};
      return outcome;
    }
    if (writesInput) {
      outcome.inputAfter = written;
    } else {
      outcome.written = context.WholeFileTarget().empty() ? written + "\r\n" : written;
    }
    return outcome;
  }

  // The cuts are reported by a run that ends normally only.
  // Replacements are counted as the pairs make them; where a byte 0 cut the
  // processed text, blocks stop passing through the pairs at the cut, so the
  // counts of a cut text are not compared.
  static Outcome WithoutCutsOnFailure(Outcome outcome) {
    if (outcome.cuts.inProcessedText != kNotCut) outcome.replacements.clear();
    if (!outcome.failure.empty()) {
      outcome.cuts = {};
      outcome.replacements.clear();
      outcome.linesChanged = 0;
    }
    return outcome;
  }

  void Compare(const RunContext& context, const std::string& input, std::size_t maxBlock) {
    SCOPED_TRACE("input " + testing::PrintToString(input) + PairsText(context) +
                 OptionsText(context));
    const Outcome whole = WithoutCutsOnFailure(WholeText(context, input));
    const Outcome streamed = WithoutCutsOnFailure(Streamed(context, input, maxBlock));
    ASSERT_EQ(streamed, whole);
    if (!context.keepLineEnds || context.unixNewlines) {
      ASSERT_EQ(whole, WithoutCutsOnFailure(ListPath(context, input)));
    }
  }

  static std::string PairsText(const RunContext& context) {
    std::string text;
    for (const auto& pair : context.pairs) {
      text += " pair " + testing::PrintToString(pair.search) + "=" +
              testing::PrintToString(pair.replace);
    }
    return text;
  }
  static std::string OptionsText(const RunContext& context) {
    return std::string(context.caseMode == CaseMode::Exact ? " -c" : "") +
           (context.zeroBytesAllowed ? " -0=" + std::to_string(context.zeroSubstitute) : "") +
           (context.dosOutput ? " -dos" : "") + (context.unixNewlines ? " --unix" : "") +
           (context.keepLineEnds ? " --keep-eol" : "") + (context.writeBack ? " -w" : "") +
           (context.mostPerPair != kEveryMatch ? " -k=" + std::to_string(context.mostPerPair)
                                               : "") +
           (context.mustMatch ? " --must-match" : "") + (context.countLines ? " --stats" : "") +
           " out=" + context.outputFile + " header=" + testing::PrintToString(context.header) +
           " footer=" + testing::PrintToString(context.footer);
  }

  apptest::ScratchFolder folder_;
  int files_ = 0;
  std::mt19937 rng_{20240607};
};

TEST_F(WholeFileStreamingTest, SmallFilesInTinyBlocksGiveTheWholeTextResult) {
  // Written back in a quarter of the rounds: each such run renames over the input.
  const Target targets[] = {Target::StandardOutput, Target::OtherFile,
                            Target::StandardOutput, Target::WriteBack,
                            Target::OtherFile,      Target::StandardOutput,
                            Target::OtherFile,      Target::InputNamedAsOutput};
  for (int round = 0; round < 2000 / kRoundDivisor; ++round) {
    const RunContext context = RandomContext(targets[round % 8]);
    Compare(context, RandomText(kFileAlphabet, 30), 4);
  }
}

TEST_F(WholeFileStreamingTest, LongerFilesInSmallBlocksGiveTheWholeTextResult) {
  const std::string lineAlphabet = "aAbB \xC4\xE4";
  const std::vector<std::string> breaks = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 200 / kRoundDivisor; ++round) {
    std::string input;
    const int style = round % 4;  // one kind of line end, or any
    while (input.size() < 3000) {
      input += RandomText(lineAlphabet, 80);
      input += breaks[style < 3 ? style : std::uniform_int_distribution<int>(0, 2)(rng_)];
    }
    if (Chance(50)) input += RandomText(lineAlphabet, 20);
    if (Chance(10))
      input[std::uniform_int_distribution<std::size_t>(0, input.size() - 1)(rng_)] = 0;
    const RunContext context =
        RandomContext(round % 3 == 0 ? Target::WriteBack : Target::StandardOutput);
    Compare(context, input, 70);
  }
}

// --keep-eol: a file whose line ends are all of one kind comes back byte for byte
// when its pairs match nothing, and -w then does not touch it at all.
TEST_F(WholeFileStreamingTest, KeptLineEndsGiveTheInputBackWhenNothingMatches) {
  const std::vector<std::string> inputs = {"",       "a",      "a\nb", "a\nb\n", "a\r\nb\r\n",
                                           "a\r\nb", "a\rb\r", "\n\n", "x\r"};
  for (const std::string& input : inputs) {
    for (const auto threads : {StreamThreads::One, StreamThreads::Two}) {
      RunContext context;
      context.keepLineEnds = true;
      context.pairs = {{"zzz", "y"}};
      StreamSettings settings;
      settings.blockSize = 1;
      settings.threads = threads;
      const auto stream = [&](const RunContext& c) { return StreamWholeFile(c, settings); };
      EXPECT_EQ(Run(context, input, stream).written, input);

      context.inputFile = FreshFile(input);
      context.writeBack = true;
      const auto stamp =
          std::filesystem::last_write_time(context.inputFile) - std::chrono::hours(1);
      std::filesystem::last_write_time(context.inputFile, stamp);
      StreamWholeFile(context, settings);
      EXPECT_EQ(ReadFile(context.inputFile), input);
      EXPECT_EQ(std::filesystem::last_write_time(context.inputFile), stamp)
          << testing::PrintToString(input);
    }
  }
  // Nothing but the inputs and what standard output received: no replacement
  // was begun and left behind.
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.starts_with("in") || name.starts_with("stdout")) << name;
  }
}

// Expressions keep the whole text; the last pair's result goes to the output as
// the replace loop makes it, and must be the result of the whole replacement.
TEST_F(WholeFileStreamingTest, ExpressionsGiveTheWholeReplacementWritten) {
  const std::vector<SearchReplacePair> expressions = {
      {"a+", "[$0]"}, {"(a)(b)?", "$2$1"}, {"\\r\\n", "|"}, {".", "x"},
      {"b*", "-"},    {"A", ""},           {"(?i)a", "\\n"}};
  const Target targets[] = {Target::StandardOutput, Target::OtherFile, Target::WriteBack};
  for (int round = 0; round < 600 / kRoundDivisor; ++round) {
    RunContext context = RandomContext(targets[round % 3]);
    context.searchKind = SearchKind::Expression;
    context.keepLineEnds = false;
    context.pairs.clear();
    for (int i = std::uniform_int_distribution<int>(1, 2)(rng_); i > 0; --i) {
      context.pairs.push_back(
          expressions[std::uniform_int_distribution<std::size_t>(0, expressions.size() - 1)(rng_)]);
    }
    const std::string input = RandomText(kFileAlphabet, 30);
    SCOPED_TRACE("input " + testing::PrintToString(input) + PairsText(context) +
                 OptionsText(context));
    ASSERT_EQ(WithoutCutsOnFailure(WholeText(context, input)),
              WithoutCutsOnFailure(ListPath(context, input)));
  }
}

}  // namespace
