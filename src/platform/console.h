// The status console on the standard-error handle. Status lines never touch
// standard output, and nothing is written when standard error is not a console.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/colour_choice.h"  // ColourWanted(): whether anything shown may be coloured

namespace platform {

void ConsoleStartUp();
bool ConsoleAvailable();

// Where the cursor goes once a row is written.
enum class AfterRow { StayOnRow, NextRow };

// Writes text over the cursor's row in a console colour (0..15), then leaves the
// cursor at the start of that row or of the next one. Where colour is not wanted
// (ColourWanted), the row keeps the colours the console had.
// Control bytes in the text show as a visible placeholder and never reach the
// terminal raw.
void ConsoleWriteRow(std::string_view text, int colour, AfterRow after);

// The text as it may be written to the stream: for a terminal (a console), every
// byte sequence the terminal could take for a control shows as "?" (TerminalSafeText
// in the terminal's encoding, TAB kept); for a file, a pipe or an invalid handle
// the bytes stay exactly as they are, since scripts read them.
std::string TextForStream(FileHandle stream, std::string_view text);
// When the last row was left in place (a progress row), moves the cursor to the
// start of the next row, so that what comes next (a failure report, the shell's
// prompt after the process ends) does not write over the row's text.
void ConsoleFinishRow();

}  // namespace platform
