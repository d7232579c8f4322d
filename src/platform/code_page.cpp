#include "platform/code_page.h"

#include <array>
#include <string>

namespace platform {

namespace {

// Upper-cases ASCII letters and drops the separators that spellings of the same
// code-set name differ in ("ISO-8859-1", "iso8859_1", "ISO 8859 1").
// A ":year" suffix ("ISO_8859-1:1987") names the same code set.
std::string NormalisedCodeSetName(std::string_view name) {
  std::string normalised;
  normalised.reserve(name.size());
  for (char c : name) {
    if (c == ':') break;
    if (c == '-' || c == '_' || c == ' ' || c == '.') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    normalised.push_back(c);
  }
  return normalised;
}

constexpr std::array<std::string_view, 9> kWesternEuropeanNames = {
    "CP1252", "WINDOWS1252", "WIN1252", "MSANSI", "ISO88591", "ISO885915", "LATIN1", "LATIN9", "L1",
};

bool IsAsciiLower(uint8_t byte) {
  return byte >= 'a' && byte <= 'z';
}
bool IsAsciiUpper(uint8_t byte) {
  return byte >= 'A' && byte <= 'Z';
}

// Windows-1252 letters above 0x7F whose case pair is not simply 0x20 apart.
struct CasePair {
  uint8_t lower;
  uint8_t upper;
};
constexpr std::array<CasePair, 4> kWindows1252OddPairs = {{
    {0x9A, 0x8A},  // s caron
    {0x9C, 0x8C},  // oe ligature
    {0x9E, 0x8E},  // z caron
    {0xFF, 0x9F},  // y diaeresis
}};

// a-grave .. thorn, without the division sign (0xF7), which has no case.
bool IsWindows1252AccentedLower(uint8_t byte) {
  return byte >= 0xE0 && byte <= 0xFE && byte != 0xF7;
}
// A-grave .. Thorn, without the multiplication sign (0xD7).
bool IsWindows1252AccentedUpper(uint8_t byte) {
  return byte >= 0xC0 && byte <= 0xDE && byte != 0xD7;
}

}  // namespace

CodePage CodePageFromCodeSetName(std::string_view codeSetName) {
  const std::string name = NormalisedCodeSetName(codeSetName);
  for (std::string_view known : kWesternEuropeanNames) {
    if (name == known) return CodePage::Windows1252;
  }
  if (name == "UTF8") return CodePage::Utf8;
  return CodePage::AsciiOnly;
}

uint8_t UpperCaseByte(CodePage codePage, uint8_t byte) {
  if (codePage == CodePage::System) return SystemUpperCaseByte(byte);
  if (IsAsciiLower(byte)) return static_cast<uint8_t>(byte - 0x20);
  if (codePage != CodePage::Windows1252) return byte;
  if (IsWindows1252AccentedLower(byte)) return static_cast<uint8_t>(byte - 0x20);
  for (const CasePair& pair : kWindows1252OddPairs) {
    if (byte == pair.lower) return pair.upper;
  }
  return byte;
}

uint8_t LowerCaseByte(CodePage codePage, uint8_t byte) {
  if (codePage == CodePage::System) return SystemLowerCaseByte(byte);
  if (IsAsciiUpper(byte)) return static_cast<uint8_t>(byte + 0x20);
  if (codePage != CodePage::Windows1252) return byte;
  if (IsWindows1252AccentedUpper(byte)) return static_cast<uint8_t>(byte + 0x20);
  for (const CasePair& pair : kWindows1252OddPairs) {
    if (byte == pair.upper) return pair.lower;
  }
  return byte;
}

}  // namespace platform
