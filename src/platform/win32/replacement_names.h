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

// ".<name>.quorve-backup-<process id>" in the target's folder, the name cut as
// above; attempt > 0 adds "-<attempt>" (an earlier run's backup keeps its name).
std::string BackupNameBeside(std::string_view target, std::uint32_t processId, int attempt);

// "\\?\C:\dir\f" becomes "C:\dir\f"; any other path stays as it is (a long UNC or
// volume path needs its prefix).
std::string WithoutLongPathPrefix(std::string_view path);

}  // namespace platform::win32
