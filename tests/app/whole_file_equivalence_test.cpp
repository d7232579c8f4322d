// The passes of whole-file mode against the line-list path they stand for (load
// into a list and join, replace, split into lines), on many random texts over a
// small alphabet of letters, CR, LF and 0. Whole runs are compared in
// whole_file_streaming_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/whole_text.h"
#include "app_fixture.h"
#include "faststrings/replace_all.h"
#include "stream/stage_feed.h"
#include "text/file_stream.h"
#include "text/line_text.h"
#include "text/string_list_fast.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;

const std::string kFileAlphabet = "aAb\r\n\0"s;
const std::string kPairAlphabet = "aAb\r\n\0"s;

// The lines of the text, each followed by lineEnd, as the output chain writes
// them in blocks of blockSize bytes.
std::size_t SplitAndEndLines(std::string& text, std::string_view lineEnd, std::size_t blockSize) {
  std::size_t cut = kNotCut;
  text = stream_test::LinesWritten(text, lineEnd, blockSize, &cut);
  return cut;
}

using test_support::ReadFile;

std::string RandomText(std::mt19937& rng, const std::string& alphabet, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(length(rng), ' ');
  for (char& c : text) c = alphabet[pick(rng)];
  return text;
}

char RandomSubstitute(std::mt19937& rng) {
  const std::string choices = "\x01\r\n\0z"s;
  return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(rng)];
}

std::size_t FirstZero(const std::string& text) {
  std::size_t zero = text.find('\0');
  return zero == std::string::npos ? kNotCut : zero;
}

std::string ListLoadAndJoin(const std::string& fileName, bool keepZero, char substitute) {
  TStringListFast list;
  if (keepZero) {
    list.LoadFromFileNul(fileName, substitute);
  } else {
    LoadLines(list, fileName);
  }
  return JoinLines(list);
}

class WholeFileEquivalenceTest : public apptest::AppTest {
 protected:
  // A new name for every file written: rewriting one file again and again makes
  // the file system flush it each time, which only slows the test down.
  std::string Fresh(const std::string& base) { return base + std::to_string(++files_); }

  apptest::ScratchFolder folder_;
  int files_ = 0;
  std::mt19937 rng_{20240607};
};

TEST_F(WholeFileEquivalenceTest, LoadMatchesListLoadAndJoin) {
  for (int round = 0; round < 1500; ++round) {
    const std::string bytes = RandomText(rng_, kFileAlphabet, 24);
    const std::string file = folder_ / Fresh("in");
    folder_.Write(file, bytes);
    const bool keepZero = round % 2 == 1;
    const char substitute = RandomSubstitute(rng_);
    std::string text;
    const std::size_t cut = LoadJoinedText(file, keepZero, substitute, text);
    ASSERT_EQ(text, ListLoadAndJoin(file, keepZero, substitute))
        << testing::PrintToString(bytes) << " keepZero=" << keepZero
        << " substitute=" << int(substitute);
    ASSERT_EQ(cut, keepZero ? kNotCut : FirstZero(bytes)) << testing::PrintToString(bytes);
  }
}

TEST_F(WholeFileEquivalenceTest, SplitAndEndLinesMatchesListSplitAndJoin) {
  std::uniform_int_distribution<std::size_t> blockSize(1, 30);
  for (int round = 0; round < 4000; ++round) {
    const std::string text = RandomText(rng_, kFileAlphabet, 24);
    TStringListFast list;
    SplitIntoLines(list, text);

    std::string crlf = text;
    ASSERT_EQ(SplitAndEndLines(crlf, "\r\n", blockSize(rng_)), FirstZero(text))
        << testing::PrintToString(text);
    ASSERT_EQ(crlf, JoinLines(list)) << testing::PrintToString(text);

    std::string lf = text;
    ASSERT_EQ(SplitAndEndLines(lf, "\n", blockSize(rng_)), FirstZero(text))
        << testing::PrintToString(text);
    ASSERT_EQ(lf, list.GetTextLF()) << testing::PrintToString(text);
  }
}

TEST_F(WholeFileEquivalenceTest, PairsMatchReplaceAllInSequence) {
  std::uniform_int_distribution<int> pairCount(1, 4);
  for (int round = 0; round < 4000; ++round) {
    std::string text = RandomText(rng_, kFileAlphabet, 30);
    std::string expected = text;
    std::string spare;
    const CaseMode caseMode = round % 2 == 0 ? CaseMode::Exact : CaseMode::Folded;
    for (int i = pairCount(rng_); i > 0; --i) {
      const std::string search = RandomText(rng_, kPairAlphabet, 3);
      const std::string replace = RandomText(rng_, kPairAlphabet, 5);
      expected = ReplaceAll(expected, search, replace, caseMode);
      ApplyPair(text, spare, search, replace, caseMode, SearchKind::Literal);
      ASSERT_EQ(text, expected) << testing::PrintToString(search) << " -> "
                                << testing::PrintToString(replace);
    }
  }
}

// Long lines, long runs of one kind of line end and mixed stretches, so the
// passes move large pieces and reuse their remembered line-break positions.
TEST_F(WholeFileEquivalenceTest, LargeTextsMatchListPath) {
  const std::vector<std::string> breaks = {"\n", "\r\n", "\r", "\n\r", "\r\r\n"};
  std::uniform_int_distribution<std::size_t> lineLength(0, 3000);
  std::uniform_int_distribution<std::size_t> pickBreak(0, breaks.size() - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int round = 0; round < 6; ++round) {
    std::string bytes;
    const int preferred = round % 3;  // 0: LF only, 1: CR LF only, 2: anything
    while (bytes.size() < 400000) {
      bytes.append(lineLength(rng_), static_cast<char>('a' + percent(rng_) % 26));
      std::size_t b = preferred == 0 ? 0 : preferred == 1 ? 1 : pickBreak(rng_);
      if (preferred != 2 && percent(rng_) == 0) b = pickBreak(rng_);
      bytes += breaks[b];
    }
    if (round % 2 == 1) bytes += "unterminated";
    const std::string input = folder_ / Fresh("in");
    folder_.Write(input, bytes);

    std::string text;
    LoadJoinedText(input, false, 1, text);
    const std::string joined = ListLoadAndJoin(input, false, 1);
    ASSERT_EQ(text, joined);

    TStringListFast list;
    SplitIntoLines(list, bytes);
    std::string lf = bytes;
    SplitAndEndLines(lf, "\n", std::size_t{1} << 16);
    ASSERT_EQ(lf, list.GetTextLF());
    std::string crlf = bytes;
    SplitAndEndLines(crlf, "\r\n", 4093);
    ASSERT_EQ(crlf, JoinLines(list));
  }
}

}  // namespace
