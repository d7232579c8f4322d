// The buffer passes of whole-file mode against the line-list path they stand for
// (load into a list, join, replace, split, add header and footer, write four
// ways), on many random texts over a small alphabet of letters, CR, LF and 0.
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
#include "text/file_stream.h"
#include "text/line_text.h"
#include "text/string_list_fast.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;

const std::string kFileAlphabet = "aAb\r\n\0"s;
const std::string kPairAlphabet = "aAb\r\n\0"s;

// The lines of the text, each followed by lineEnd, as WriteLines passes them on.
std::size_t SplitAndEndLines(std::string& text, std::string_view lineEnd) {
  std::string written;
  const std::size_t cut =
      WriteLines([&written](std::string_view bytes) { written.append(bytes); }, text, lineEnd);
  text = written;
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
  for (int round = 0; round < 4000; ++round) {
    const std::string text = RandomText(rng_, kFileAlphabet, 24);
    TStringListFast list;
    SplitIntoLines(list, text);

    std::string crlf = text;
    ASSERT_EQ(SplitAndEndLines(crlf, "\r\n"), FirstZero(text)) << testing::PrintToString(text);
    ASSERT_EQ(crlf, JoinLines(list)) << testing::PrintToString(text);

    std::string lf = text;
    ASSERT_EQ(SplitAndEndLines(lf, "\n"), FirstZero(text)) << testing::PrintToString(text);
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

// Everything after the load: pairs, split, header and footer, and each of the four
// ways of writing, byte for byte against the list path.
TEST_F(WholeFileEquivalenceTest, WholeRunMatchesListPathForEveryWayOfWriting) {
  std::uniform_int_distribution<int> coin(0, 1);
  for (int round = 0; round < 400; ++round) {
    const std::string input = folder_ / Fresh("in");
    folder_.Write(input, RandomText(rng_, kFileAlphabet, 40));
    const bool keepZero = coin(rng_) == 1;
    const char substitute = RandomSubstitute(rng_);
    const CaseMode caseMode = coin(rng_) == 1 ? CaseMode::Exact : CaseMode::Folded;
    const std::string search = RandomText(rng_, kPairAlphabet, 2);
    const std::string replace = RandomText(rng_, kPairAlphabet, 3);
    const std::string header = coin(rng_) ? RandomText(rng_, kFileAlphabet, 4) : "";
    const std::string footer = coin(rng_) ? RandomText(rng_, kFileAlphabet, 4) : "";

    TStringListFast list;
    SplitIntoLines(
        list, ReplaceAll(ListLoadAndJoin(input, keepZero, substitute), search, replace, caseMode));
    if (!header.empty()) list.Insert(0, header);
    if (!footer.empty()) list.Add(footer);

    std::string text;
    std::string spare;
    LoadJoinedText(input, keepZero, substitute, text);
    ApplyPair(text, spare, search, replace, caseMode, SearchKind::Literal);

    for (const std::string lineEnd : {"\r\n", "\n"}) {
      const bool unix = lineEnd == "\n";
      SCOPED_TRACE(testing::PrintToString(ReadFile(input)) + " pair " +
                   testing::PrintToString(search) + "=" + testing::PrintToString(replace) +
                   " header " + testing::PrintToString(header) + " footer " +
                   testing::PrintToString(footer) + (unix ? " unix" : ""));

      const std::string expectedFile = folder_ / Fresh("expected");
      if (unix) {
        list.SaveToFileLF(expectedFile);
      } else {
        SaveLines(list, expectedFile);
      }
      const std::string actualFile = folder_ / Fresh("actual");
      ASSERT_EQ(WriteWholeTextToFile(actualFile, header, text, footer, lineEnd), FirstZero(text));
      ASSERT_EQ(ReadFile(actualFile), ReadFile(expectedFile));

      const std::string streamFile = folder_ / Fresh("stream");
      TextStream stream;
      BindTextFile(stream, streamFile);
      OpenTextWrite(stream);
      ASSERT_EQ(WriteWholeText(stream, header, text, footer, lineEnd), FirstZero(text));
      CloseText(stream);
      ASSERT_EQ(ReadFile(streamFile), (unix ? list.GetTextLF() : JoinLines(list)) + "\r\n");
    }
  }
}

// Whenever LineEndsCanWait says so, pairs applied to the file's text with its own
// line ends, which are settled only when the lines are written, give the bytes of
// the list path, where CR LF is put in first.
TEST_F(WholeFileEquivalenceTest, PairsBeforeLineEndsAreSettledGiveTheSameLines) {
  const std::string lineLocalAlphabet = "aAb";
  std::uniform_int_distribution<int> coin(0, 1);
  std::uniform_int_distribution<int> pairCount(1, 3);
  int compared = 0;
  for (int round = 0; round < 800; ++round) {
    const std::string bytes = RandomText(rng_, kFileAlphabet, 40);
    const std::string input = folder_ / Fresh("in");
    folder_.Write(input, bytes);
    const bool keepZero = coin(rng_) == 1;
    const char substitute = coin(rng_) ? 'z' : '\x01';
    const CaseMode caseMode = coin(rng_) == 1 ? CaseMode::Exact : CaseMode::Folded;
    const std::string lineEnd = coin(rng_) ? "\r\n" : "\n";
    std::vector<SearchReplacePair> pairs;
    for (int i = pairCount(rng_); i > 0; --i) {
      pairs.push_back(
          {RandomText(rng_, lineLocalAlphabet, 3), RandomText(rng_, lineLocalAlphabet, 4)});
    }

    std::string text;
    ASSERT_EQ(ReadFileText(input, !keepZero, text), keepZero ? kNotCut : FirstZero(bytes));
    if (keepZero) SubstituteZeroBytes(text, substitute);
    if (!LineEndsCanWait(text, pairs)) continue;
    ++compared;

    std::string joined = ListLoadAndJoin(input, keepZero, substitute);
    std::string spare;
    for (const SearchReplacePair& pair : pairs) {
      joined = ReplaceAll(joined, pair.search, pair.replace, caseMode);
      ApplyPair(text, spare, pair.search, pair.replace, caseMode, SearchKind::Literal);
    }
    TStringListFast list;
    SplitIntoLines(list, joined);
    ASSERT_EQ(SplitAndEndLines(text, lineEnd), kNotCut);
    ASSERT_EQ(text, lineEnd == "\n" ? list.GetTextLF() : JoinLines(list))
        << testing::PrintToString(bytes);
  }
  EXPECT_GT(compared, 400);
}

struct WaitCase {
  std::string text;
  std::string search;
  std::string replace;
  bool canWait;
};

TEST_F(WholeFileEquivalenceTest, LineEndsWaitOnlyForPairsThatCannotJoinLines) {
  // clang-format off
  const std::vector<WaitCase> cases = {
      {"a\nb", "cat", "dog", true},
      {"a\r\nb\r\n", "a", "", true},
      {"x\rA\nb\n", "A", "", false},  // "x" CR LF "b" once A is gone
      {"x\rA\nb", "A", "B", true},
      {"x\rA\nb", "", "", true},
      {"x\r", "x", "", false},
      {"a\nx", "x", "", false},  // the unended last line would be gone
      {"a\nx", "x", "y", true},
      {"a\nx\n", "x", "", true},
      {"", "x", "", true},
      {"a\nb", "a\r", "b", false},
      {"a\nb", "a", "\nb", false},
      {"a\nb", "a\0"s, "b", false},
      {"a\nb", "a", "b\0"s, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::vector<SearchReplacePair> pairs = {{"b", "c"}, {c.search, c.replace}};
    EXPECT_EQ(LineEndsCanWait(c.text, pairs), c.canWait)
        << testing::PrintToString(c.text) << " " << testing::PrintToString(c.search) << "="
        << testing::PrintToString(c.replace);
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
    SplitAndEndLines(lf, "\n");
    ASSERT_EQ(lf, list.GetTextLF());
    std::string crlf = bytes;
    SplitAndEndLines(crlf, "\r\n");
    ASSERT_EQ(crlf, JoinLines(list));
  }
}

}  // namespace
