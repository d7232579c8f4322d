#include "faststrings/fast_strings.h"

#include <cstring>

#include "base/exceptions.h"
#include "faststrings/window_scan.h"
#include "platform/system.h"

namespace {

// Until start-up picks the real code page, only a-z fold, which is right for
// every code page the tool knows. Constant-initialised, so it is usable from
// any other static initialiser.
constexpr std::array<std::uint8_t, 256> AsciiUpperTable() {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
  }
  return table;
}

template <typename Fold>
void FillSkipTable(const char* pattern, std::int32_t n, SkipTable& table, Fold fold) {
  // A negative length is as unusable as 0 and would make shifts go backwards.
  if (n <= 0) throw Exception("BufferLen is 0");
  table.fill(n);
  // Later occurrences overwrite earlier ones: the smallest distance wins. The
  // last byte is not entered through its own position, except in a one-byte
  // pattern, whose byte gets 0.
  const std::int32_t lastEntered = n >= 2 ? n - 2 : 0;
  for (std::int32_t i = 0; i <= lastEntered; ++i) {
    table[fold(static_cast<std::uint8_t>(pattern[i]))] = n - 1 - i;
  }
}

}  // namespace

constinit std::array<std::uint8_t, 256> UpperTable = AsciiUpperTable();

std::array<std::uint8_t, 256> MakeUpperTable(platform::CodePage codePage) {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = platform::UpperCaseByte(codePage, static_cast<std::uint8_t>(b));
  }
  return table;
}

void FastStringsStartUp() {
  UpperTable = MakeUpperTable(platform::ActiveCodePage());
}

void MakeSkipTable(const char* pattern, std::int32_t n, SkipTable& table) {
  FillSkipTable(pattern, n, table, [](std::uint8_t b) { return b; });
}

void MakeSkipTableNoCase(const char* pattern, std::int32_t n, SkipTable& table) {
  FillSkipTable(pattern, n, table, [](std::uint8_t b) { return UpperTable[b]; });
}

const char* SkipSearch(const char* text, const char* pattern, std::size_t textLen,
                       std::int32_t patternLen, const SkipTable& table) {
  return FindFirst(PrepareExactScan(pattern, patternLen, table), text, textLen);
}

const char* SkipSearchNoCase(const char* text, const char* pattern, std::size_t textLen,
                             std::int32_t patternLen, const SkipTable& table) {
  return FindFirst(PrepareFoldedScan(pattern, patternLen, table), text, textLen);
}

std::size_t SkipPos(std::string_view text, std::string_view pattern, std::size_t start) {
  const std::size_t m = pattern.size();
  if (m < 1 || text.size() < m || m > static_cast<std::size_t>(INT32_MAX)) return 0;
  // A start of 0 would put the window before the text; one past the last possible
  // window start leaves too few bytes. Neither may read outside the text.
  const std::size_t first = start < 1 ? 0 : start - 1;
  if (first > text.size() - m) return 0;
  SkipTable table;
  MakeSkipTable(pattern.data(), static_cast<std::int32_t>(m), table);
  const char* found = SkipSearch(text.data() + first, pattern.data(), text.size() - first,
                                 static_cast<std::int32_t>(m), table);
  return found == nullptr ? 0 : static_cast<std::size_t>(found - text.data()) + 1;
}

std::size_t BytePosExact(std::string_view text, char c, std::int64_t start) {
  const auto length = static_cast<std::int64_t>(text.size());
  if (length == 0 || start > length) return 0;
  const std::size_t first = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  const void* found = std::memchr(text.data() + first, c, text.size() - first);
  return found == nullptr
             ? 0
             : static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1;
}

std::size_t BytePosNoCase(std::string_view text, char c, std::int64_t start) {
  const auto length = static_cast<std::int64_t>(text.size());
  if (length == 0 || start > length) return 0;
  const std::uint8_t folded = UpperTable[static_cast<std::uint8_t>(c)];
  for (std::size_t i = start < 1 ? 0 : static_cast<std::size_t>(start - 1); i < text.size(); ++i) {
    if (UpperTable[static_cast<std::uint8_t>(text[i])] == folded) return i + 1;
  }
  return 0;
}

std::size_t BytePos(char c, std::string_view text, CaseMode caseMode, std::int64_t start) {
  return caseMode != CaseMode::Exact ? BytePosNoCase(text, c, start) : BytePosExact(text, c, start);
}

void CopyBytes(const char* source, char* destination, std::size_t count) {
  if (count != 0) std::memcpy(destination, source, count);
}
