// The status console on the standard-error handle. Status lines never touch
// standard output, and nothing is written when standard error is not a console.
#pragma once

#include <string_view>

namespace platform {

void ConsoleStartUp();
bool ConsoleAvailable();

// Where the cursor goes once a row is written.
enum class AfterRow { StayOnRow, NextRow };

// Writes text over the cursor's row in a console colour (0..15), then leaves the
// cursor at the start of that row or of the next one.
// Control bytes in the text show as a visible placeholder and never reach the
// terminal raw.
void ConsoleWriteRow(std::string_view text, int colour, AfterRow after);

}  // namespace platform
