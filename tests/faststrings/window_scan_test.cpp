#include "faststrings/window_scan.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "faststrings/fast_strings.h"
#include "faststrings/upper_table_guard.h"

namespace {

using namespace std::string_literals;
using platform::CodePage;

bool FoldEqual(char a, char b) {
  return UpperTable[static_cast<std::uint8_t>(a)] == UpperTable[static_cast<std::uint8_t>(b)];
}

// Offset of the leftmost match, compared byte by byte, or npos.
std::size_t NaiveFind(std::string_view text, std::string_view pattern, bool noCase) {
  for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() &&
           (noCase ? FoldEqual(text[i + k], pattern[k]) : text[i + k] == pattern[k])) {
      ++k;
    }
    if (k == pattern.size()) return i;
  }
  return std::string_view::npos;
}

std::size_t Found(std::string_view text, std::string_view pattern, bool noCase) {
  SkipTable table;
  const auto m = static_cast<std::int32_t>(pattern.size());
  const char* found;
  if (noCase) {
    MakeSkipTableNoCase(pattern.data(), m, table);
    found = SkipSearchNoCase(text.data(), pattern.data(), text.size(), m, table);
  } else {
    MakeSkipTable(pattern.data(), m, table);
    found = SkipSearch(text.data(), pattern.data(), text.size(), m, table);
  }
  return found == nullptr ? std::string_view::npos : static_cast<std::size_t>(found - text.data());
}

// Memory whose bytes just before and just after a window are unreadable, so a
// read outside the window ends the test with a fault.
class GuardedBuffer {
 public:
  GuardedBuffer() {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    base_ = static_cast<char*>(
        mmap(nullptr, 4 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base_ == MAP_FAILED) base_ = nullptr;
    if (base_ != nullptr) {
      mprotect(base_, page_, PROT_NONE);
      mprotect(base_ + 3 * page_, page_, PROT_NONE);
    }
  }
  ~GuardedBuffer() {
    if (base_ != nullptr) munmap(base_, 4 * page_);
  }
  bool ok() const { return base_ != nullptr; }
  // The text, placed so that its last byte is the last readable one.
  std::string_view AtEnd(std::string_view text) {
    char* start = base_ + 3 * page_ - text.size();
    std::memcpy(start, text.data(), text.size());
    return {start, text.size()};
  }
  // The text, placed so that its first byte is the first readable one.
  std::string_view AtStart(std::string_view text) {
    char* start = base_ + page_;
    std::memcpy(start, text.data(), text.size());
    return {start, text.size()};
  }

 private:
  std::size_t page_ = 0;
  char* base_ = nullptr;
};

// Text in which every m-th window has the pattern's first and last byte but
// different inner bytes, so that the vector stage hands many candidates to the
// verification and they all fail.
std::string NearMisses(std::string_view pattern, std::size_t length) {
  const std::size_t m = pattern.size();
  std::string text(length, 'b');
  if (m < 3) return text;
  for (std::size_t i = 0; i < length; ++i) {
    if (i % m == 0) text[i] = pattern[0];
    if (i % m == m - 1) text[i] = pattern[m - 1];
  }
  return text;
}

TEST(WindowScanTest, MatchAtEveryOffsetAcrossBlockBoundaries) {
  for (bool noCase : {false, true}) {
    for (const std::string& pattern :
         {"q"s, "qz"s, "qaz"s, "qaaaaaaaaaaaaaaaaaaz"s, "q\0z"s, "\0\0\0"s}) {
      for (std::size_t length :
           {std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{17}, std::size_t{31},
            std::size_t{32}, std::size_t{33}, std::size_t{47}, std::size_t{64}, std::size_t{100}}) {
        if (length < pattern.size()) continue;
        EXPECT_EQ(Found(NearMisses(pattern, length), pattern, noCase),
                  NaiveFind(NearMisses(pattern, length), pattern, noCase));
        for (std::size_t at = 0; at + pattern.size() <= length; ++at) {
          std::string text = NearMisses(pattern, length);
          std::string inserted = pattern;
          if (noCase) inserted[0] = static_cast<char>(std::toupper(inserted[0]));
          text.replace(at, pattern.size(), inserted);
          const std::size_t expected = NaiveFind(text, pattern, noCase);
          ASSERT_LE(expected, at);
          ASSERT_EQ(Found(text, pattern, noCase), expected)
              << "pattern " << pattern << " length " << length << " at " << at;
        }
      }
    }
  }
}

TEST(WindowScanTest, NeverReadsOutsideTheRange) {
  GuardedBuffer buffer;
  ASSERT_TRUE(buffer.ok());
  for (bool noCase : {false, true}) {
    for (std::string_view pattern : {"x", "xy", "abcab", "abcdefghijklmnopqrstuvwxyz0123456789"}) {
      for (std::size_t length = 0; length <= 200; ++length) {
        // Text of near-misses: every window's first byte matches, none matches whole.
        std::string text(length, pattern[0]);
        std::string_view atEnd = buffer.AtEnd(text);
        EXPECT_EQ(Found(atEnd, pattern, noCase), NaiveFind(text, pattern, noCase));
        std::string_view atStart = buffer.AtStart(text);
        EXPECT_EQ(Found(atStart, pattern, noCase), NaiveFind(text, pattern, noCase));
        // A match flush against the guard page.
        if (length >= pattern.size()) {
          std::string withMatch = text;
          withMatch.replace(length - pattern.size(), pattern.size(), pattern);
          EXPECT_EQ(Found(buffer.AtEnd(withMatch), pattern, noCase),
                    NaiveFind(withMatch, pattern, noCase));
        }
      }
    }
  }
}

TEST(WindowScanTest, PatternLongerThanText) {
  GuardedBuffer buffer;
  ASSERT_TRUE(buffer.ok());
  const std::string pattern(40, 'a');
  for (std::size_t length = 0; length < pattern.size(); ++length) {
    EXPECT_EQ(Found(buffer.AtEnd(std::string(length, 'a')), pattern, false),
              std::string_view::npos);
    EXPECT_EQ(Found(buffer.AtEnd(std::string(length, 'A')), pattern, true), std::string_view::npos);
  }
}

TEST(WindowScanTest, FoldClasses) {
  std::uint8_t members[2] = {0, 0};
  {
    UpperTableGuard guard(CodePage::Windows1252);
    EXPECT_EQ(FoldClassMembers('a', members), 2);
    EXPECT_EQ(members[0], 'A');
    EXPECT_EQ(members[1], 'a');
    EXPECT_EQ(FoldClassMembers(0x9F, members), 2);
    EXPECT_EQ(members[0], 0x9F);
    EXPECT_EQ(members[1], 0xFF);
    EXPECT_EQ(FoldClassMembers(0xF7, members), 1);
    EXPECT_EQ(members[0], 0xF7);
    EXPECT_EQ(FoldClassMembers(0, members), 1);
    EXPECT_EQ(members[0], 0);
  }
  UpperTableGuard guard(CodePage::AsciiOnly);
  EXPECT_EQ(FoldClassMembers(0xE9, members), 1);
  EXPECT_EQ(members[0], 0xE9);
}

TEST(WindowScanTest, LargeFoldClassFallsBackAndStaysCorrect) {
  // A table in which '1', '2' and '3' all fold to '1': too many for the vector compare.
  auto table = MakeUpperTable(CodePage::AsciiOnly);
  table['2'] = '1';
  table['3'] = '1';
  UpperTableGuard guard(table);
  std::uint8_t members[2];
  EXPECT_EQ(FoldClassMembers('3', members), 3);
  const std::string text = std::string(90, 'x') + "3ab2" + std::string(40, 'y');
  SkipTable skip;
  MakeSkipTableNoCase("1ab1", 4, skip);
  const PatternScan scan = PrepareFoldedScan("1ab1", 4, skip);
  EXPECT_FALSE(scan.vectorised);
  EXPECT_EQ(Found(text, "1AB1", true), 90u);
}

TEST(WindowScanTest, RandomTextsAgreeWithNaiveSearch) {
  std::mt19937 random(20240611);
  // Letters that fold in Windows-1252 (e-acute, y-diaeresis and their capitals),
  // a byte 0, CR and LF.
  const std::string alphabet = "aAbB\xE9\xC9\xFF\x9F\r\n"s + std::string(1, '\0');
  for (CodePage codePage : {CodePage::Windows1252, CodePage::AsciiOnly}) {
    UpperTableGuard guard(codePage);
    for (int round = 0; round < 6000; ++round) {
      std::string text(random() % 140, ' ');
      for (char& c : text)
        c = alphabet[random() % 4 == 0 ? random() % alphabet.size() : random() % 2];
      std::string pattern(1 + random() % 5, ' ');
      for (char& c : pattern) c = alphabet[random() % alphabet.size()];
      for (bool noCase : {false, true}) {
        ASSERT_EQ(Found(text, pattern, noCase), NaiveFind(text, pattern, noCase))
            << "round " << round << " noCase " << noCase;
      }
    }
  }
}

// Offsets of all non-overlapping matches, left to right.
std::vector<std::size_t> NaiveAll(std::string_view text, std::string_view pattern, bool noCase) {
  std::vector<std::size_t> all;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = NaiveFind(text.substr(from), pattern, noCase);
    if (at == std::string_view::npos) return all;
    all.push_back(from + at);
    from += at + pattern.size();
  }
}

// All matches fetched in batches of `capacity`, resuming behind the last one.
std::vector<std::size_t> BatchedAll(std::string_view text, std::string_view pattern, bool noCase,
                                    std::size_t capacity) {
  SkipTable table;
  const auto m = static_cast<std::int32_t>(pattern.size());
  PatternScan scan;
  if (noCase) {
    MakeSkipTableNoCase(pattern.data(), m, table);
    scan = PrepareFoldedScan(pattern.data(), m, table);
  } else {
    MakeSkipTable(pattern.data(), m, table);
    scan = PrepareExactScan(pattern.data(), m, table);
  }
  std::vector<const char*> batch(capacity);
  std::vector<std::size_t> all;
  const char* from = text.data();
  const char* end = text.data() + text.size();
  for (;;) {
    const std::size_t count =
        FindMatches(scan, from, static_cast<std::size_t>(end - from), batch.data(), capacity);
    for (std::size_t i = 0; i < count; ++i) all.push_back(batch[i] - text.data());
    if (count < capacity) return all;
    from = batch[count - 1] + m;
  }
}

TEST(WindowScanTest, BatchesOfMatchesNeverOverlap) {
  // Runs of one byte: every window matches, so only the no-overlap rule decides,
  // also for patterns longer than a vector block.
  const std::string run(1000, 'a');
  for (std::size_t m : {1, 2, 3, 31, 32, 33, 40, 100}) {
    const std::string pattern(m, 'a');
    for (std::size_t capacity : {1, 3, 64}) {
      for (bool noCase : {false, true}) {
        EXPECT_EQ(BatchedAll(run, pattern, noCase, capacity), NaiveAll(run, pattern, noCase))
            << "m " << m << " capacity " << capacity;
      }
    }
  }
  std::mt19937 random(99);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 400, ' ');
    for (char& c : text) c = "abAB\0"[random() % 5];
    std::string pattern(1 + random() % 4, ' ');
    for (char& c : pattern) c = "abAB\0"[random() % 5];
    const bool noCase = round % 2 == 1;
    ASSERT_EQ(BatchedAll(text, pattern, noCase, 1 + round % 7), NaiveAll(text, pattern, noCase))
        << "round " << round;
  }
}

}  // namespace
