// The status console on the standard-error handle. Status lines never touch
// standard output, and nothing is written when standard error is not a console.
#pragma once

#include <string_view>

namespace platform {

void ConsoleStartUp();
bool ConsoleAvailable();

// Writes text over the cursor's row in a console colour (0..15); with advance the
// cursor then moves to the start of the next row, otherwise it stays on the row.
// Control bytes in the text show as a visible placeholder and never reach the
// terminal raw.
void ConsoleWriteRow(std::string_view text, int colour, bool advance);

}  // namespace platform
