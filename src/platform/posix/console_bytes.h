// The bytes of one status row for an ANSI terminal. Pure, so the exact output can
// be checked without a terminal.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

struct ConsoleRowStyle {
  int colour = 14;       // console colour index 0..15
  bool advance = false;  // move to the next row afterwards, else stay on this one
  bool utf8 = true;      // the terminal's code set is UTF-8
  int width = 0;         // terminal columns; 0 when unknown
  bool coloured = true;  // colour is wanted (NO_COLOR unset, TERM not dumb)
  bool dumb = false;     // the terminal acts on no control sequence (TERM=dumb)
};

// ANSI foreground (SGR) number for a console colour index 0..15.
int AnsiForeground(int colour);

// The text with every byte a terminal would act on replaced by one "?": C0 controls,
// DEL, and the C1 range (raw 0x80..0x9F outside UTF-8, 0xC2 0x80..0x9F within it).
std::string VisibleText(std::string_view text, bool utf8);

// "\r" + colour + text + clear-to-end-of-line + reset + ("\n" or "\r"). The in-place
// form is cut to width - 1 columns so the terminal never wraps it. Without colour
// there is neither colour nor reset; on a dumb terminal there is no control
// sequence at all, and blanks up to width - 1 columns clear the rest of the row.
std::string ConsoleRowBytes(std::string_view text, const ConsoleRowStyle& style);

}  // namespace platform::posix
