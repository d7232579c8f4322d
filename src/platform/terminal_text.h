// Text that a terminal shows rather than obeys. A file name or a piece of the
// user's data written to a terminal raw could move the cursor, retitle the window,
// rewrite the screen or answer back; each byte sequence the terminal could take for a
// control shows as one "?" instead. Pure, so the exact bytes can be checked without
// a terminal.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace platform {

// How the terminal reads bytes: as UTF-8, or one byte per character, with the
// bytes that are controls in its code page (C0, DEL and the C1 controls).
struct TerminalEncoding {
  bool utf8 = true;
  std::array<bool, 256> controlByte{};
};

TerminalEncoding Utf8Terminal();
// One byte per character, C1 controls at 0x80..0x9F (the ISO 8859 code pages).
TerminalEncoding Iso8859Terminal();

enum class TabRule { Keep, Replace };

// One "?" for each C0 control (TAB as the rule says), DEL, C1 control and, in
// UTF-8, each stretch of bytes that does not make a valid character (a raw 0x9B is
// a CSI to some terminals). Everything else stays as it is.
std::string TerminalSafeText(std::string_view text, const TerminalEncoding& encoding, TabRule tab);

}  // namespace platform
