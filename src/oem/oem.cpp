#include "oem/oem.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

using OemTable = std::array<unsigned char, 256>;

constexpr std::pair<unsigned char, unsigned char> kConversions[] = {
    {0xA4, 0xCF},  // currency sign
    {0xC3, 0xC7},  // A tilde
    {0xC4, 0x8E},  // A diaeresis
    {0xC5, 0x8F},  // A ring
    {0xC9, 0x90},  // E acute
    {0xD6, 0x99},  // O diaeresis
    {0xDC, 0x9A},  // U diaeresis
    {0xE1, 0xA0},  // a acute
    {0xE4, 0x84},  // a diaeresis
    {0xE5, 0x86},  // a ring
    {0xE9, 0x82},  // e acute
    {0xF6, 0x94},  // o diaeresis
    {0xFC, 0x81},  // u diaeresis
};

constexpr OemTable BuildOemTable() {
  OemTable table{};
  for (unsigned value = 0; value < table.size(); ++value) {
    table[value] = static_cast<unsigned char>(value);
  }
  for (const auto& [ansi, oem] : kConversions) table[ansi] = oem;
  return table;
}

constexpr OemTable kOemTable = BuildOemTable();

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

}  // namespace

unsigned char ToOemChar(unsigned char c) {
  return kOemTable[c];
}

void ToOemInPlace(std::string& text) {
  char* bytes = text.data();
  const std::size_t size = text.size();
  std::size_t at = 0;
  while (at < size) {
    // Every converted byte is above 0x7F, so runs of plain ASCII are skipped a word at a time.
    if (size - at >= sizeof(std::uint64_t)) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, sizeof word);
      if ((word & kHighBits) == 0) {
        at += sizeof word;
        continue;
      }
      for (const std::size_t stop = at + sizeof word; at < stop; ++at) {
        bytes[at] = static_cast<char>(kOemTable[static_cast<unsigned char>(bytes[at])]);
      }
      continue;
    }
    bytes[at] = static_cast<char>(kOemTable[static_cast<unsigned char>(bytes[at])]);
    ++at;
  }
}

std::string ToOemText(std::string_view text) {
  std::string converted(text);
  ToOemInPlace(converted);
  return converted;
}
