// Turning errno values into the tool's error codes and back. Internal to the POSIX
// platform layer.
#pragma once

#include "platform/files.h"

namespace platform::posix {

// The tool's code for an errno value: ENOENT 2, ENOTDIR/ENAMETOOLONG 3, EMFILE/ENFILE 4,
// EACCES/EPERM/EROFS 5, ENOSPC 101, anything else as itself. Pure.
ErrorCode CodeOfErrno(int errnoValue);

// Records errnoValue as the last raw failure of this thread and returns its code.
ErrorCode RecordFailure(int errnoValue);

// The errno that stands behind a code: the last recorded one when it maps to that
// code, otherwise the usual errno for it.
int ErrnoBehindCode(ErrorCode code);

// The text without trailing full stops and bytes <= 0x20. Pure.
std::string WithoutTrailingStopsAndBlanks(std::string text);

// strerror's text for an errno, without trailing full stops and bytes <= 0x20.
std::string TrimmedErrnoText(int errnoValue);

}  // namespace platform::posix
