// Small conversions over byte strings: integers, ASCII case, trimming.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal, or hexadecimal after "$", "x", "X" or "0x"; the fallback when it does not parse.
std::int32_t ParseIntOr(std::string_view text, std::int32_t fallback);
std::string IntToDecimal(std::int64_t value);
// Only A..Z change.
std::string AsciiLower(std::string_view text);
// Leading and trailing bytes 0x00..0x20 removed.
std::string TrimControls(std::string_view text);
// Byte comparison folding only a..z; difference of the first differing folded
// bytes, else the difference of the lengths.
std::int32_t AsciiCompareNoCase(std::string_view a, std::string_view b);
