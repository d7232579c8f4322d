// Small helpers the POSIX file modules share. Internal to the POSIX platform layer.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform::posix {

// Names are passed to the OS as C strings: an embedded NUL would silently name
// another file, so such a name names nothing.
bool UsableName(std::string_view name);
// open(2) with O_CLOEXEC added (mode 0666 for a new file), EINTR retried.
ErrorCode OpenWith(const std::string& name, int flags, FileHandle& handle);
// The folder part of a path ("." for a bare name, "/" for the root).
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

}  // namespace platform::posix
