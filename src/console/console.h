// Coloured status lines on the standard-error console, never on standard output.
#pragma once

#include <string_view>

constexpr int kStatusColour = 14;

void ConsoleStartUp();
// Overwrites the cursor's row; the cursor stays on it.
void WriteInPlace(std::string_view text, int colour);
// Writes as WriteInPlace, then moves to the start of the next row.
void WriteAndAdvance(std::string_view text, int colour);
