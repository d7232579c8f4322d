#include "platform/terminal_text.h"

namespace platform {

namespace {

constexpr char kPlaceholder = '?';
constexpr unsigned char kTab = 0x09;

bool IsC0OrDelete(unsigned int code) {
  return code < 0x20 || code == 0x7F;
}
bool IsC1(unsigned int code) {
  return code >= 0x80 && code <= 0x9F;
}
bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The valid range of the second byte after a lead byte (overlong forms, surrogates
// and code points past U+10FFFF are invalid), and the sequence's length; 0 for a
// byte that cannot start a sequence.
struct LeadByte {
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

LeadByte LeadByteOf(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {};
}

// The length of the valid UTF-8 character at the start of text, or, as a negative
// number, the length of the invalid stretch there (at least one byte).
long Utf8CharacterAt(std::string_view text, unsigned int& code) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const LeadByte rule = LeadByteOf(lead);
  if (rule.length == 0) return -1;
  code = lead & (0xFF >> (rule.length + 1));
  for (std::size_t i = 1; i < rule.length; ++i) {
    if (i >= text.size()) return -static_cast<long>(i);
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool fits = i == 1 ? byte >= rule.low && byte <= rule.high : IsContinuation(byte);
    if (!fits) return -static_cast<long>(i);
    code = (code << 6) | (byte & 0x3F);
  }
  return static_cast<long>(rule.length);
}

bool IsControl(unsigned int code, TabRule tab) {
  if (code == kTab) return tab == TabRule::Replace;
  return IsC0OrDelete(code) || IsC1(code);
}

std::string Utf8SafeText(std::string_view text, TabRule tab) {
  std::string safe;
  safe.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) {
      safe += IsControl(byte, tab) ? kPlaceholder : static_cast<char>(byte);
      text.remove_prefix(1);
      continue;
    }
    unsigned int code = 0;
    const long length = Utf8CharacterAt(text, code);
    if (length < 0 || IsControl(code, tab)) {
      safe += kPlaceholder;
    } else {
      safe.append(text.substr(0, static_cast<std::size_t>(length)));
    }
    text.remove_prefix(static_cast<std::size_t>(length < 0 ? -length : length));
  }
  return safe;
}

}  // namespace

TerminalEncoding Utf8Terminal() {
  return TerminalEncoding{};
}

TerminalEncoding Iso8859Terminal() {
  TerminalEncoding encoding;
  encoding.utf8 = false;
  for (unsigned int code = 0; code < 256; ++code) {
    encoding.controlByte[code] = IsC0OrDelete(code) || IsC1(code);
  }
  return encoding;
}

std::string TerminalSafeText(std::string_view text, const TerminalEncoding& encoding, TabRule tab) {
  if (encoding.utf8) return Utf8SafeText(text, tab);
  std::string safe(text);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    const bool control = byte == kTab ? tab == TabRule::Replace : encoding.controlByte[byte];
    if (control) c = kPlaceholder;
  }
  return safe;
}

}  // namespace platform
