#include "platform/utf8.h"

namespace platform {

namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The valid range of the second byte after a lead byte (which rules out overlong
// forms, surrogates and code points past U+10FFFF), and the sequence's length; 0
// for a byte that cannot start a sequence.
struct LeadByte {
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

LeadByte LeadByteOf(unsigned char byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {};
}

}  // namespace

long Utf8CharacterAt(std::string_view text, char32_t& code) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const LeadByte rule = LeadByteOf(lead);
  if (rule.length == 0) return -1;
  code = rule.length == 1 ? lead : lead & (0xFF >> (rule.length + 1));
  for (std::size_t i = 1; i < rule.length; ++i) {
    if (i >= text.size()) return -static_cast<long>(i);
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool fits = i == 1 ? byte >= rule.low && byte <= rule.high : IsContinuation(byte);
    if (!fits) return -static_cast<long>(i);
    code = (code << 6) | (byte & 0x3F);
  }
  return static_cast<long>(rule.length);
}

std::string Utf8Bytes(char32_t code) {
  std::string bytes;
  if (code < 0x80) {
    bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    bytes += static_cast<char>(0xC0 | (code >> 6));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    bytes += static_cast<char>(0xE0 | (code >> 12));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (code >> 18));
    bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
  return bytes;
}

}  // namespace platform
