// Line-by-line mode against a plain model of its rules, over random inputs large
// enough to cross many buffer fills: lines of every length, CR, LF, bytes 0 and 26,
// letters of both cases, and random plain pairs. The mode takes shortcuts (lines
// as views of its buffer, one search for many lines, runs of unchanged lines
// passed on whole); the model takes none.
#include "app/line_by_line_mode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_fixture.h"
#include "faststrings/replace_all.h"
#include "text/text_stream.h"

namespace {

using test_support::ReadFile;
using test_support::WriteFile;

struct ModelLine {
  std::string text;
  std::string end;  // the line end bytes as read, empty for none
  bool cut = false;
};

// The physical lines: LF and CR LF end a line, a lone CR too when kept line ends
// are asked for (otherwise it is dropped); a byte 26 ends the text and the rest of
// its physical line goes.
std::vector<ModelLine> PhysicalLines(std::string_view input, bool crEndsLine) {
  std::vector<ModelLine> lines;
  std::size_t at = 0;
  while (at < input.size()) {
    ModelLine line;
    bool skipping = false;
    while (at < input.size()) {
      const char byte = input[at++];
      if (byte == '\n') {
        line.end = "\n";
        break;
      }
      if (byte == '\r') {
        if (at < input.size() && input[at] == '\n') {
          ++at;
          line.end = "\r\n";
          break;
        }
        if (crEndsLine) {
          line.end = "\r";
          break;
        }
        line.cut = true;
        continue;
      }
      if (byte == 26) skipping = line.cut = true;
      if (!skipping) line.text += byte;
    }
    lines.push_back(line);
  }
  lines.push_back({});  // the read that meets the end
  return lines;
}

struct Options {
  std::vector<SearchReplacePair> pairs;
  CaseMode caseMode = CaseMode::Exact;
  bool keepLineEnds = false;
  bool matchOnly = false;
  std::int64_t limit = 1 << 30;
  std::size_t mostPerPair = kEveryMatch;  // -k, in each line
};

// What the model counts: replacements per pair, lines changed.
struct ModelCounts {
  std::vector<std::uint64_t> replacements;
  std::uint64_t linesChanged = 0;
};

bool SameByte(char a, char b, CaseMode caseMode) {
  if (caseMode == CaseMode::Exact) return a == b;
  return UpperTable[static_cast<unsigned char>(a)] == UpperTable[static_cast<unsigned char>(b)];
}

// Leftmost matches without overlap, compared byte by byte, at most `most`.
std::string NaiveReplace(const std::string& text, const SearchReplacePair& pair, CaseMode caseMode,
                         std::size_t most, std::uint64_t& count) {
  std::string result;
  std::size_t at = 0;
  std::size_t made = 0;
  while (at < text.size()) {
    bool match = !pair.search.empty() && made < most && text.size() - at >= pair.search.size();
    for (std::size_t i = 0; match && i < pair.search.size(); ++i) {
      match = SameByte(text[at + i], pair.search[i], caseMode);
    }
    if (!match) {
      result += text[at++];
      continue;
    }
    result += pair.replace;
    at += pair.search.size();
    ++made;
  }
  count += made;
  return result;
}

std::string Apply(const Options& options, std::string text, ModelCounts& counts) {
  counts.replacements.resize(options.pairs.size());
  for (std::size_t i = 0; i < options.pairs.size(); ++i) {
    text = NaiveReplace(text, options.pairs[i], options.caseMode, options.mostPerPair,
                        counts.replacements[i]);
  }
  return text;
}

// CR LF, a lone CR and a lone LF in a changed line become the output's line end.
std::string InStyle(const std::string& text, const std::string& lineEnd) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      result += text[i];
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    result += lineEnd;
  }
  return result;
}

std::string ModelOutput(std::string_view input, const Options& options, ModelCounts& counts) {
  counts = ModelCounts{};
  counts.replacements.resize(options.pairs.size());
  const std::vector<ModelLine> lines = PhysicalLines(input, options.keepLineEnds);
  std::string style;
  for (const ModelLine& line : lines) {
    if (!line.end.empty()) {
      style = line.end;
      break;
    }
  }
  if (style.empty()) style = "\r\n";
  std::string output;
  for (std::size_t i = 0; i < lines.size() && static_cast<std::int64_t>(i) < options.limit; ++i) {
    const ModelLine& line = lines[i];
    const std::string text = line.text.empty() ? line.text : Apply(options, line.text, counts);
    if (text != line.text) ++counts.linesChanged;
    const bool keep = !(options.matchOnly && line.text.empty());
    if (keep && !options.keepLineEnds) output += text + "\r\n";
    if (keep && options.keepLineEnds) {
      const std::string lineEnd = line.end.empty() ? "" : style;
      output += (text == line.text ? text : InStyle(text, style)) + lineEnd;
    }
    if (text.empty() && i + 1 >= lines.size() - 1) break;  // nothing left to read
  }
  return output;
}

// Random text over a small alphabet, so that pairs match often and line ends,
// bytes 0 and 26 come in every combination; now and then a line longer than a
// buffer.
std::string RandomInput(std::mt19937& random, std::size_t size) {
  static const std::string alphabet = std::string("abcAB\r\n\n\n\x1a", 11) + '\0';
  std::string input;
  while (input.size() < size) {
    if (random() % 500 == 0) input.append(70000 + random() % 1000, 'a');
    input += alphabet[random() % alphabet.size()];
    if (random() % 3 != 0) input += "bab";
  }
  return input;
}

std::string RandomPiece(std::mt19937& random, std::size_t most) {
  static const std::string alphabet = "abcABb\r\n";
  std::string piece;
  const std::size_t length = random() % (most + 1);
  for (std::size_t i = 0; i < length; ++i) piece += alphabet[random() % alphabet.size()];
  return piece;
}

class LineByLineModel : public apptest::AppTest {
 protected:
  std::string Run(const std::string& input, const Options& options) {
    WriteFile(folder / "in.txt", input);
    RunContext context;
    context.inputFile = folder / "in.txt";
    context.outputFile = folder / "out.txt";
    context.quiet = true;
    context.pairs = options.pairs;
    context.caseMode = options.caseMode;
    context.keepLineEnds = options.keepLineEnds;
    context.matchOnly = options.matchOnly;
    if (options.limit < (1 << 30)) context.lineLimit = static_cast<std::int32_t>(options.limit);
    context.mostPerPair = options.mostPerPair;
    const FileOutcome outcome = RunLineByLine(context);
    counts = {outcome.replacements, outcome.linesChanged};
    EXPECT_EQ(PendingStreamError(), 0);
    return ReadFile(folder / "out.txt");
  }

  // What the last Run counted.
  ModelCounts counts;

  std::string ModelOf(std::string_view input, const Options& options) {
    ModelCounts expected;
    std::string output = ModelOutput(input, options, expected);
    modelCounts = expected;
    return output;
  }
  ModelCounts modelCounts;

  test_support::TempFolder folder;
};

TEST_F(LineByLineModel, RandomInputsAndPairsGiveTheModelsBytes) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 48; ++round) {
    const std::string input = RandomInput(random, 1000 + random() % 300000);
    Options options;
    for (std::size_t pairs = random() % 4; pairs > 0; --pairs) {
      options.pairs.push_back({RandomPiece(random, 3), RandomPiece(random, 4)});
    }
    options.caseMode = random() % 2 == 0 ? CaseMode::Exact : CaseMode::Folded;
    options.keepLineEnds = random() % 2 == 0;
    options.matchOnly = random() % 5 == 0;
    if (random() % 5 == 0) options.limit = 1 + random() % 5000;
    if (random() % 3 == 0) options.mostPerPair = 1 + random() % 3;
    const std::string expected = ModelOf(input, options);
    ASSERT_EQ(Run(input, options), expected)
        << "round " << round << ", " << options.pairs.size() << " pairs, keep "
        << options.keepLineEnds << ", -m " << options.matchOnly << ", limit " << options.limit
        << ", -k " << options.mostPerPair;
    ASSERT_EQ(counts.replacements, modelCounts.replacements) << "round " << round;
    ASSERT_EQ(counts.linesChanged, modelCounts.linesChanged) << "round " << round;
  }
}

TEST_F(LineByLineModel, LinesAroundEveryBufferFill) {
  // Lines of every length near the buffer's size, so line ends, CR LF pairs and
  // matches fall on both sides of a fill.
  for (std::size_t length = (64 << 10) - 6; length <= (64 << 10) + 2; ++length) {
    std::string input = std::string(length, 'x') + "cat\r\n" + std::string(length - 1, 'y') +
                        "c\rat\r\n\x1a\x1a\r\ncat";
    Options options;
    options.pairs = {{"cat", "dog"}};
    for (bool keep : {false, true}) {
      options.keepLineEnds = keep;
      ASSERT_EQ(Run(input, options), ModelOf(input, options)) << length << " " << keep;
    }
  }
}

TEST_F(LineByLineModel, EmptyLastLinesAndLineEndsAtTheVeryEnd) {
  // Short lines that no pair touches are passed on in runs; the run must leave the
  // last line to the end test.
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += "line " + std::to_string(i) + "\n";
  for (const std::string tail : {"\n", "\n\n", "\r\n\r\n", "x", "\r", "\n\r", "\x1a"}) {
    for (bool keep : {false, true}) {
      for (std::size_t pairs : {0, 1}) {
        Options options;
        options.keepLineEnds = keep;
        if (pairs > 0) options.pairs = {{"line 2999", "last"}};
        const std::string input = lines + tail;
        ASSERT_EQ(Run(input, options), ModelOf(input, options))
            << testing::PrintToString(tail) << " keep " << keep << " pairs " << pairs;
      }
    }
  }
}

}  // namespace
