#include "regex/case_map.h"

namespace regex_case {

namespace {

// Layout of the library's character tables: lower-case map, flip-case map, ten
// 32-byte class bitmaps, then one type byte per character.
constexpr std::size_t kLowerCaseOffset = 0;
constexpr std::size_t kFlipCaseOffset = 256;
constexpr std::size_t kClassBitsOffset = 512;
constexpr std::size_t kCharTypesOffset = 832;

enum ClassBitmap { kSpace, kXDigit, kDigit, kUpper, kLower, kWord, kGraph, kPrint, kPunct, kCntrl };
enum CharType : std::uint8_t {
  kTypeSpace = 0x01,
  kTypeLetter = 0x02,
  kTypeLowerLetter = 0x04,
  kTypeDigit = 0x08,
  kTypeWord = 0x10
};

bool IsDigit(int c) {
  return c >= '0' && c <= '9';
}
bool IsUpper(int c) {
  return c >= 'A' && c <= 'Z';
}
bool IsLower(int c) {
  return c >= 'a' && c <= 'z';
}
bool IsAlpha(int c) {
  return IsUpper(c) || IsLower(c);
}
bool IsAlnum(int c) {
  return IsAlpha(c) || IsDigit(c);
}
bool IsSpace(int c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}
bool IsXDigit(int c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsGraph(int c) {
  return c > 0x20 && c < 0x7F;
}
bool IsPrint(int c) {
  return c >= 0x20 && c < 0x7F;
}
bool IsCntrl(int c) {
  return c < 0x20 || c == 0x7F;
}

// ASCII meanings only, whatever locale the process runs in.
bool InClass(ClassBitmap which, int c) {
  switch (which) {
    case kSpace:
      return IsSpace(c);
    case kXDigit:
      return IsXDigit(c);
    case kDigit:
      return IsDigit(c);
    case kUpper:
      return IsUpper(c);
    case kLower:
      return IsLower(c);
    case kWord:
      return IsAlnum(c) || c == '_';
    case kGraph:
      return IsGraph(c);
    case kPrint:
      return IsPrint(c);
    case kPunct:
      return IsGraph(c) && !IsAlnum(c);
    case kCntrl:
      return IsCntrl(c);
  }
  return false;
}

}  // namespace

std::uint8_t SwapCharCase(platform::CodePage codePage, std::uint8_t c) {
  const std::uint8_t upper = platform::UpperCaseByte(codePage, c);
  return upper != c ? upper : platform::LowerCaseByte(codePage, c);
}

CaseMap::CaseMap(platform::CodePage codePage) : codePage_(codePage) {
  for (int c = 0; c < 256; ++c) swap_[c] = SwapCharCase(codePage, static_cast<std::uint8_t>(c));
}

std::array<std::uint8_t, CaseMap::kMatcherTablesLength> CaseMap::MatcherTables() const {
  std::array<std::uint8_t, kMatcherTablesLength> tables{};
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<std::uint8_t>(c);
    // Both members of a pair share one representative; a byte without a clean
    // pair stands for itself, so caseless comparison never widens it.
    const bool paired = FoldsBothWays(byte);
    const std::uint8_t other = paired ? swap_[c] : byte;
    tables[kLowerCaseOffset + c] = paired ? std::min(byte, other) : byte;
    tables[kFlipCaseOffset + c] = other;
  }
  for (int which = kSpace; which <= kCntrl; ++which) {
    for (int c = 0; c < 256; ++c) {
      if (InClass(static_cast<ClassBitmap>(which), c)) {
        tables[kClassBitsOffset + which * 32 + c / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
      }
    }
  }
  for (int c = 0; c < 256; ++c) {
    std::uint8_t type = 0;
    if (IsSpace(c)) type |= kTypeSpace;
    if (IsAlpha(c)) type |= kTypeLetter;
    if (IsLower(c)) type |= kTypeLowerLetter;
    if (IsDigit(c)) type |= kTypeDigit;
    if (IsAlnum(c) || c == '_') type |= kTypeWord;
    tables[kCharTypesOffset + c] = type;
  }
  return tables;
}

}  // namespace regex_case
