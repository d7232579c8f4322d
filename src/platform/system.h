// Facts about the machine and the session: code page, names, time, messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace platform {

// The code page whose letter case plain searches fold (POSIX: LC_CTYPE code set,
// after setlocale(LC_CTYPE, "")).
CodePage ActiveCodePage();

// The computer's name, or empty when it cannot be had.
std::string ComputerName();

// UTC minus local time in minutes, the daylight flag, and whether it is known.
struct TimeZoneState {
  std::int32_t biasMinutes = 0;
  bool daylight = false;
  bool known = false;
};
TimeZoneState CurrentTimeZone();

struct LocalDateTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalDateTime CurrentLocalDateTime();

// Low 32 bits of a high-resolution counter (a pseudo-random seed).
std::uint32_t PerformanceCounterLow();

// The folder the logger writes its files to, ending with a separator.
std::string DefaultLogFolder();
// The folder a name without one refers to: "./" or ".\".
std::string CurrentFolderPrefix();

// The bytes that end a folder in a path, the one the system joins names with
// first: "/" (POSIX) or "\\/:" (Windows).
std::string_view FolderSeparators();

// How the system's text files end a line: "\n" (POSIX) or "\r\n" (Windows).
std::string_view NativeLineEnd();

// How many threads the machine runs at once (at least 1).
unsigned ProcessorCount();

// Empties the thread's window-message queue without waiting (nothing on POSIX).
void PumpMessages();

}  // namespace platform
