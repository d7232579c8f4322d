// The steps of committing a replacement file that each system takes its own way;
// the order of the steps (src/platform/replacement.cpp) is the same everywhere.
// Internal to the platform layer.
#pragma once

#include "platform/files.h"

namespace platform::replacement_steps {

// The new file takes the target's place (rename, or a rewrite behind a backup).
ErrorCode PutInPlace(ReplacementFile& file);
// Closes the new file's handle and removes what is left of it.
void Discard(ReplacementFile& file);
// The failure of a commit asked of a file that was never begun or is done.
ErrorCode NoFileToCommit();

}  // namespace platform::replacement_steps
