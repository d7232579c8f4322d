// The preview's diff: its exact bytes on small cases, and on random texts that
// applying its hunks to the old text gives the new one.
#include "app/file_diff.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/run_outcome.h"

namespace {

using namespace std::string_literals;

struct Line {
  std::string text;
  std::string end;
};

// CR LF, a lone CR and a lone LF each end a line.
std::vector<Line> LinesOf(const std::string& text) {
  std::vector<Line> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t brk = text.find_first_of("\r\n", from);
    if (brk == std::string::npos) {
      lines.push_back({text.substr(from), ""});
      break;
    }
    const std::size_t endLength = text.compare(brk, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({text.substr(from, brk - from), text.substr(brk, endLength)});
    from = brk + endLength;
  }
  return lines;
}

// The note names each side's style: the one line end it has, none, or mixed.
TEST(UnifiedDiffTest, TheNoteNamesBothStyles) {
  const struct {
    std::string before;
    std::string after;
    std::string note;  // empty: none
  } cases[] = {
      {"a\nb\n", "a\r\nb\r\n", "LF -> CR LF"},
      {"a\r\nb", "a\nb", "CR LF -> LF"},
      {"a\rb\r", "a\r\nb\r\n", "CR -> CR LF"},
      {"a\nb\r\n", "a\r\nb\r\n", "mixed -> CR LF"},
      {"a\n\n\nb", "a\r\n\r\n\r\nb", "LF -> CR LF"},
      {"abc", "abc\r\n", ""},  // no line end before: the line itself shows
      {"a\nb\n", "a\nb\n", ""},
  };
  for (const auto& c : cases) {
    const std::string diff = UnifiedDiff("f", c.before, c.after);
    const std::string note = c.note.empty() ? "" : "line ends: " + c.note + " in f\n";
    EXPECT_EQ(diff.substr(0, diff.find("---")), note) << testing::PrintToString(c.before);
  }
}

TEST(UnifiedDiffTest, SameBytesGiveNothing) {
  EXPECT_EQ(UnifiedDiff("f", "", ""), "");
  EXPECT_EQ(UnifiedDiff("f", "a\r\nb\r\n", "a\r\nb\r\n"), "");
}

TEST(UnifiedDiffTest, OneChangedLineWithThreeLinesOfContextAndItsOwnLineEnds) {
  const std::string before = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n";
  const std::string after = "1\r\n2\r\n3\r\n4\r\nfive\r\n6\r\n7\r\n8\r\n9\r\n";
  EXPECT_EQ(UnifiedDiff("f.txt", before, after),
            "--- f.txt\n+++ f.txt\n@@ -2,7 +2,7 @@\n 2\r\n 3\r\n 4\r\n-5\r\n+five\r\n 6\r\n 7\r\n"
            " 8\r\n");
}

TEST(UnifiedDiffTest, ChangesSixLinesApartShareAHunkSevenApartDoNot) {
  std::string before;
  for (int i = 1; i <= 20; ++i) before += std::to_string(i) + "\n";
  const auto changed = [&](int a, int b) {
    std::string after;
    for (int i = 1; i <= 20; ++i) {
      after += (i == a || i == b ? "x" : std::to_string(i)) + "\n";
    }
    return UnifiedDiff("f", before, after);
  };
  const auto hunks = [](const std::string& diff) {
    std::size_t n = 0;
    for (std::size_t at = diff.find("\n@@ "); at != std::string::npos;
         at = diff.find("\n@@ ", at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(hunks(changed(5, 12)), 1u);  // 6 unchanged lines between
  EXPECT_EQ(hunks(changed(5, 13)), 2u);  // 7
  EXPECT_NE(changed(5, 13).find("@@ -2,7 +2,7 @@\n"), std::string::npos);
  EXPECT_NE(changed(5, 13).find("@@ -10,7 +10,7 @@\n"), std::string::npos);
}

TEST(UnifiedDiffTest, InsertionsAndDeletionsAtTheEdgesNameTheLineBefore) {
  EXPECT_EQ(UnifiedDiff("f", "", "a\n"), "--- f\n+++ f\n@@ -0,0 +1,1 @@\n+a\n");
  EXPECT_EQ(UnifiedDiff("f", "a\n", ""), "--- f\n+++ f\n@@ -1,1 +0,0 @@\n-a\n");
  EXPECT_EQ(UnifiedDiff("f", "a\nb\n", "a\nb\nc\n"), "--- f\n+++ f\n@@ -1,2 +1,3 @@\n a\n b\n+c\n");
}

TEST(UnifiedDiffTest, AnUnendedLastLineIsMarked) {
  EXPECT_EQ(UnifiedDiff("f", "a\nb", "a\nc"),
            "--- f\n+++ f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+c\n"
            "\\ No newline at end of file\n");
  // Only the line end added: the line shows as changed, so patch adds it.
  EXPECT_EQ(UnifiedDiff("f", "a\nb", "a\nb\n"),
            "--- f\n+++ f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n");
}

TEST(UnifiedDiffTest, ALineEndStyleChangeIsOneNoteNotEveryLine) {
  EXPECT_EQ(UnifiedDiff("f", "a\nb\nc\n", "a\r\nb\r\nc\r\n"), "line ends: LF -> CR LF in f\n");
  // Added lines keep the file's style, so patch changes only the content.
  EXPECT_EQ(UnifiedDiff("f", "a\nb\nc\n", "a\r\nB\r\nc\r\n"),
            "line ends: LF -> CR LF in f\n--- f\n+++ f\n@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n");
  EXPECT_EQ(UnifiedDiff("f", "a\r\nb\n", "a\r\nb\r\n"), "line ends: mixed -> CR LF in f\n");
}

TEST(UnifiedDiffTest, ColourMarksRemovedAddedAndHeaders) {
  DiffLook look;
  look.colour = true;
  EXPECT_EQ(UnifiedDiff("f", "a\r\n", "b\r\n", look),
            "\x1b[1m--- f\x1b[0m\n\x1b[1m+++ f\x1b[0m\n\x1b[36m@@ -1,1 +1,1 @@\x1b[0m\n"
            "\x1b[31m-a\x1b[0m\r\n\x1b[32m+b\x1b[0m\r\n");
}

// Applies a diff's hunks to the text as patch does when every hunk fits where it
// says; fails the test when a context or removed line is not what the text has.
std::string ApplyDiff(const std::string& before, const std::string& diff) {
  const std::vector<Line> old = LinesOf(before);
  std::string out;
  std::size_t next = 0;  // the next old line not yet copied
  std::size_t at = diff.find("@@ -");
  while (at != std::string::npos) {
    const std::size_t start = std::stoul(diff.substr(at + 4));
    const std::size_t comma = diff.find(',', at);
    const std::size_t count = std::stoul(diff.substr(comma + 1));
    const std::size_t first = count == 0 ? start : start - 1;
    for (; next < first; ++next) out.append(old[next].text).append(old[next].end);
    at = diff.find('\n', at) + 1;
    while (at < diff.size() && diff.compare(at, 3, "@@ ") != 0) {
      const char mark = diff[at];
      std::size_t lineEnd = diff.find_first_of("\r\n", at);
      std::size_t endLength = diff.compare(lineEnd, 2, "\r\n") == 0 ? 2 : 1;
      const std::string text = diff.substr(at + 1, lineEnd - at - 1);
      std::string end = diff.substr(lineEnd, endLength);
      at = lineEnd + endLength;
      if (diff.compare(at, 2, "\\ ") == 0) {
        end.clear();
        at = diff.find('\n', at) + 1;
      }
      if (mark == ' ' || mark == '-') {
        EXPECT_LT(next, old.size());
        if (next >= old.size()) return out;
        EXPECT_EQ(text, old[next].text);
        EXPECT_EQ(end, old[next].end);
        if (mark == ' ') out.append(text).append(end);
        ++next;
      } else {
        EXPECT_EQ(mark, '+');
        out.append(text).append(end);
      }
    }
    at = at < diff.size() ? at : std::string::npos;
  }
  for (; next < old.size(); ++next) out.append(old[next].text).append(old[next].end);
  return out;
}

TEST(UnifiedDiffTest, RandomEditsAppliedGiveTheNewText) {
  std::mt19937 random(99);
  const std::vector<std::string> words = {"a", "b", "c", "", "dd"};
  for (int round = 0; round < 3000; ++round) {
    const std::string end = round % 3 == 0 ? "\n" : "\r\n";
    std::vector<std::string> lines(random() % 40);
    for (std::string& line : lines) line = words[random() % words.size()];
    std::string before;
    for (const std::string& line : lines) before += line + end;
    std::string after;
    for (const std::string& line : lines) {
      const unsigned roll = random() % 10;
      if (roll == 0) continue;                                       // removed
      if (roll == 1) after += words[random() % words.size()] + end;  // inserted
      after += (roll == 2 ? line + "x" : line) + end;                // changed or kept
    }
    if (round % 7 == 0 && !before.empty()) before.resize(before.size() - end.size());
    if (round % 5 == 0 && !after.empty()) after.resize(after.size() - end.size());
    const std::string diff = UnifiedDiff("f", before, after);
    ASSERT_EQ(ApplyDiff(before, diff), after) << "round " << round << "\n"
                                              << testing::PrintToString(before) << "\n"
                                              << diff;
  }
}

// Long files are compared in windows of lines: long inserted and removed
// stretches, stretches where every line changes, and changes at window edges
// still give a diff that turns the old text into the new one.
TEST(UnifiedDiffTest, LongFilesWithLongStretchesApplyBack) {
  std::mt19937 random(5);
  for (int round = 0; round < 30; ++round) {
    std::vector<std::string> lines(5000 + random() % 20000);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      lines[i] = random() % 50 == 0 ? "" : "line " + std::to_string(i % (200 + round * 37));
    }
    std::string before;
    for (const std::string& line : lines) before += line + "\r\n";
    std::string after;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const unsigned roll = random() % 4000;
      if (roll < 3) {
        for (unsigned k = random() % 3000; k > 0; --k) after += "new " + std::to_string(k) + "\r\n";
      } else if (roll < 6) {
        i += random() % 2000;  // a removed stretch
        continue;
      } else if (roll < 8) {
        for (std::size_t end = std::min(lines.size(), i + random() % 1000); i < end; ++i) {
          after += lines[i] + " changed\r\n";
        }
        if (i == lines.size()) break;
      }
      after += (roll < 40 ? lines[i] + "!" : lines[i]) + "\r\n";
    }
    const std::string diff = UnifiedDiff("f", before, after);
    ASSERT_EQ(ApplyDiff(before, diff), after) << "round " << round;
  }
}

TEST(UnifiedDiffTest, OneChangeInALongFileIsOneSmallHunk) {
  std::string before;
  for (int i = 0; i < 100000; ++i) before += "line " + std::to_string(i) + "\n";
  std::string after = before;
  after.replace(after.find("line 54321\n"), 10, "changed");
  EXPECT_EQ(UnifiedDiff("f", before, after),
            "--- f\n+++ f\n@@ -54319,7 +54319,7 @@\n line 54318\n line 54319\n line 54320\n"
            "-line 54321\n+changed\n line 54322\n line 54323\n line 54324\n");
  // 500 lines inserted in one place: one hunk, nothing removed.
  std::string inserted;
  for (int i = 0; i < 500; ++i) inserted += "new\n";
  after = before;
  after.insert(after.find("line 700\n"), inserted);
  const std::string diff = UnifiedDiff("f", before, after);
  EXPECT_NE(diff.find("@@ -698,6 +698,506 @@\n"), std::string::npos) << diff.substr(0, 200);
  EXPECT_EQ(diff.find("\n-"), std::string::npos);
}

// The new text in pieces of any size (a CR LF cut in two, a line in many
// pieces), the old one read in pieces of any size: the same preview.
TEST(FileDiffTest, PiecesOfAnySizeGiveTheSamePreview) {
  std::mt19937 random(41);
  const std::string alphabet = "ab\r\n\n";
  for (int round = 0; round < 2000; ++round) {
    std::string before(random() % 60, ' ');
    for (char& c : before) c = alphabet[random() % alphabet.size()];
    std::string after = before;
    for (char& c : after) {
      if (random() % 6 == 0) c = alphabet[random() % alphabet.size()];
    }
    const std::size_t oldPiece = 1 + random() % 4;
    std::size_t read = 0;
    FileDiff diff("f", [&](char* buffer, std::size_t size) {
      const std::size_t n = std::min({size, oldPiece, before.size() - read});
      std::copy_n(before.data() + read, n, buffer);
      read += n;
      return n;
    });
    for (std::size_t at = 0; at < after.size();) {
      const std::size_t n = 1 + random() % 5;
      diff.Add(std::string_view(after).substr(at, n));
      at += n;
    }
    const std::string pieces = diff.Finish();
    ASSERT_EQ(pieces, UnifiedDiff("f", before, after))
        << testing::PrintToString(before) << " " << testing::PrintToString(after);
  }
}

// --stats lines and the --must-match decision over one file and several.
TEST(RunOutcomeTest, SummaryTotalAndExitCode) {
  const FileOutcome one{"a.txt", {3, 0, 1}, 2};
  EXPECT_EQ(StatsSummary(one), "a.txt: 4 replacements (1: 3, 2: 0, 3: 1), 2 lines changed");
  const FileOutcome single{"b", {1}, 1};
  EXPECT_EQ(StatsSummary(single), "b: 1 replacement (1: 1), 1 line changed");
  const FileOutcome none{"c", {0, 0, 0}, 0};
  EXPECT_EQ(StatsTotal({one, single, none}), "5 replacements in 2 of 3 files");
  EXPECT_EQ(StatsTotal({none}), "0 replacements in 0 of 1 file");
  EXPECT_EQ(ExitCodeFor(true, {none, none}), 2);
  EXPECT_EQ(ExitCodeFor(true, {none, single}), 0);
  EXPECT_EQ(ExitCodeFor(false, {none}), 0);
  EXPECT_EQ(ExitCodeFor(true, {}), 2);
}

}  // namespace
