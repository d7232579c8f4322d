// The code the platform gives for a failure to open or create a file. Systems
// differ: a missing folder is "file not found" on one and "path not found" on
// another, so tests that check a failure's message take the code from here.
#pragma once

#include <string>

#include "platform/files.h"

namespace platform_test {

inline platform::ErrorCode CodeOfOpening(const std::string& name) {
  platform::FileHandle handle = platform::kInvalidHandle;
  const platform::ErrorCode code = platform::OpenForReading(name, handle);
  if (code == 0) platform::CloseFileHandle(handle);
  return code;
}

inline platform::ErrorCode CodeOfCreating(const std::string& name) {
  platform::FileHandle handle = platform::kInvalidHandle;
  const platform::ErrorCode code = platform::CreateForWriting(name, handle);
  if (code == 0) platform::CloseFileHandle(handle);
  return code;
}

}  // namespace platform_test
