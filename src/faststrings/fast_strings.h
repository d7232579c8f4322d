// Skip-table search over byte strings, exact and case-folded, and small position
// searches. A byte 0 is an ordinary byte everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/code_page.h"

// Upper-case form of every byte in the code page in use; built once at start-up.
extern std::array<std::uint8_t, 256> UpperTable;
std::array<std::uint8_t, 256> MakeUpperTable(platform::CodePage codePage);
// Builds UpperTable for the active code page.
void FastStringsStartUp();

// Whether a search tells letter case apart (Exact) or folds both sides through
// UpperTable (Folded). FoldedUnicode, for a UTF-8 locale, folds as Folded does,
// but a search that holds bytes beyond ASCII also finds the case forms of its
// letters under Unicode's simple case folding (faststrings/unicode_search.h).
enum class CaseMode { Exact, Folded, FoldedUnicode };

using SkipTable = std::array<std::int32_t, 256>;

// Raise Exception "BufferLen is 0" when n is 0 (the table is left alone).
void MakeSkipTable(const char* pattern, std::int32_t n, SkipTable& table);
void MakeSkipTableNoCase(const char* pattern, std::int32_t n, SkipTable& table);

// Address of the leftmost match in text[0, textLen), or nullptr. No byte outside
// the range is read.
using SearchFunction = const char* (*)(const char* text, const char* pattern, std::size_t textLen,
                                       std::int32_t patternLen, const SkipTable& table);
const char* SkipSearch(const char* text, const char* pattern, std::size_t textLen,
                       std::int32_t patternLen, const SkipTable& table);
const char* SkipSearchNoCase(const char* text, const char* pattern, std::size_t textLen,
                             std::int32_t patternLen, const SkipTable& table);

// 1-based position of the first exact match starting at or after start (>= 1), or 0.
std::size_t SkipPos(std::string_view text, std::string_view pattern, std::size_t start);

std::size_t BytePosExact(std::string_view text, char c, std::int64_t start);
std::size_t BytePosNoCase(std::string_view text, char c, std::int64_t start);
std::size_t BytePos(char c, std::string_view text, CaseMode caseMode, std::int64_t start);

// Named by the design; the tool itself does not call it (tests do).
void CopyBytes(const char* source, char* destination, std::size_t count);
