#include "platform/files.h"
#include "platform/replacement_steps.h"

namespace platform {

ErrorCode CommitReplacement(ReplacementFile& file) {
  if (file.handle == kInvalidHandle) return replacement_steps::NoFileToCommit();
  file.keptBackup.clear();
  if (file.direct) {
    const FileHandle handle = file.handle;
    file.handle = kInvalidHandle;
    return CloseFileHandle(handle);
  }
  const ErrorCode code = replacement_steps::PutInPlace(file);
  replacement_steps::Discard(file);
  return code;
}

void AbandonReplacement(ReplacementFile& file) {
  replacement_steps::Discard(file);
}

}  // namespace platform
