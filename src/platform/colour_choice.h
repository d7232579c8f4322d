// Whether what the program shows a person may be coloured. Two conventions of the
// environment say no: NO_COLOR set to any value (empty included), and TERM=dumb,
// a terminal that acts on no control sequence at all. The status lines follow
// this, and so does anything else the program colours.
#pragma once

namespace platform {

// From the values of NO_COLOR and TERM, each null when the variable is not set.
bool ColourWantedBy(const char* noColour, const char* term);
// The terminal acts on no control sequence (TERM=dumb): not even clearing a row.
bool TerminalIsDumb(const char* term);

// The same decisions from this process's environment.
bool ColourWanted();
bool TerminalIsDumb();

}  // namespace platform
