// The splitting of a single command-line string into arguments, as Windows programs
// do it: blanks separate, double quotes group and are removed. Pure; a Windows build
// feeds it the process command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Tells whether a byte starts a double-byte character (CharNextA steps over both bytes).
using LeadByteTest = bool (*)(unsigned char byte);

// All arguments after the first one (the program name), up to the first empty one.
std::vector<std::string> SplitCommandLine(std::string_view commandLine,
                                          LeadByteTest isLeadByte = nullptr);

}  // namespace platform
