// Turning Windows error codes into the tool's error codes and back, and the
// system's message texts. Internal to the Windows platform layer.
#pragma once

#include <string>

#include "platform/files.h"

namespace platform::win32 {

// Windows numbers its errors the way the tool's I/O failure table does (2 file not
// found, 3 path not found, 4 too many open files, 5 access denied), so codes pass
// as they are; only the two disk-full codes (112, 39) become 101. A failed call
// whose error code is 0 still failed: it gets 31 (general failure). Pure.
ErrorCode CodeOfWindowsError(unsigned long windowsError);

// Records the error as the last raw failure of this thread and returns its code.
ErrorCode RecordFailure(unsigned long windowsError);
// RecordFailure(GetLastError()).
ErrorCode RecordLastError();

// The Windows error behind a code: the last recorded one when it maps to that
// code, otherwise the code itself (112 for disk full).
unsigned long WindowsErrorBehindCode(ErrorCode code);

// The text without trailing full stops and bytes <= 0x20. Pure.
std::string WithoutTrailingStopsAndBlanks(std::string text);

// The system's message for a Windows error, trimmed as above; a code the system
// has no text for gives "Unknown error <code>".
std::string SystemMessageText(unsigned long windowsError);

}  // namespace platform::win32
