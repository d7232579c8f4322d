// Names of the temporary files that replacement files are written to. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win32 {

// The folder part of a path: everything up to and including its last "\", "/" or
// ":" (a drive's own current folder, as in "C:name"); empty for a bare name.
std::string_view FolderPartOf(std::string_view path);

// A name in the target's folder: "." + the target's file name (at most 200 bytes of
// it) + "." + eight lower-case hexadecimal digits of the random value + ".tmp".
std::string TemporaryNameBeside(std::string_view target, std::uint32_t random);

}  // namespace platform::win32
