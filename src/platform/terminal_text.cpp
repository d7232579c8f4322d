#include "platform/terminal_text.h"

#include "platform/utf8.h"

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
    char32_t code = 0;
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
