#include "text/conversions.h"

#include <cstdint>
#include <optional>

namespace {

std::optional<int> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

// Length of a hexadecimal prefix at the start of text: "$", "x", "X", "0x", "0X"; 0 for none.
std::size_t HexPrefixLength(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return 1;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  return 0;
}

// One or more hexadecimal digits up to the end, at most 32 significant bits.
std::optional<std::uint32_t> ParseHexDigits(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    std::optional<int> digit = HexDigitValue(c);
    if (!digit || value > 0x0FFFFFFFu) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(*digit);
  }
  return value;
}

// One or more decimal digits up to the end; the magnitude may reach 2^31 (for the minimum).
std::optional<std::uint32_t> ParseDecimalDigits(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uint64_t kLimit = 2147483648u;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (!IsDecimalDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > kLimit) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::int32_t ParseIntOr(std::string_view text, std::int32_t fallback) {
  std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return fallback;
  text.remove_prefix(start);

  bool negative = false;
  if (text.front() == '-' || text.front() == '+') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }

  if (std::size_t prefix = HexPrefixLength(text); prefix != 0) {
    std::optional<std::uint32_t> bits = ParseHexDigits(text.substr(prefix));
    if (!bits) return fallback;
    // The 32 bits are a signed value; "-" negates it (wrapping, like the machine does).
    std::uint32_t result = negative ? 0u - *bits : *bits;
    return static_cast<std::int32_t>(result);
  }

  std::optional<std::uint32_t> magnitude = ParseDecimalDigits(text);
  if (!magnitude) return fallback;
  if (!negative && *magnitude > 2147483647u) return fallback;
  return static_cast<std::int32_t>(negative ? 0u - *magnitude : *magnitude);
}

std::string IntToDecimal(std::int64_t value) {
  return std::to_string(value);
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return lower;
}

std::string TrimControls(std::string_view text) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isControl(text[begin])) ++begin;
  while (end > begin && isControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::int32_t AsciiCompareNoCase(std::string_view a, std::string_view b) {
  auto fold = [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? byte - 32 : static_cast<int>(byte);
  };
  std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    int difference = fold(a[i]) - fold(b[i]);
    if (difference != 0) return difference;
  }
  return static_cast<std::int32_t>(static_cast<std::int64_t>(a.size()) -
                                   static_cast<std::int64_t>(b.size()));
}
