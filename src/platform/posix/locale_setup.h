// The process's character-set locale, taken from the environment once.
#pragma once

#include <string>

namespace platform::posix {

// The LC_CTYPE code-set name (for example "UTF-8"), after setlocale(LC_CTYPE, "")
// has run once for the process.
const std::string& CodeSetName();

// True when that code set is UTF-8.
bool CodeSetIsUtf8();

}  // namespace platform::posix
