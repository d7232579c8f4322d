// What the target lock does the same on every platform; taking and letting go of
// it are each platform's own (posix/target_lock.cpp, win32/target_lock.cpp).
#include <utility>

#include "platform/files.h"

namespace platform {

TargetLock::~TargetLock() {
  Release();
}

TargetLock::TargetLock(TargetLock&& other) noexcept
    : held_(std::exchange(other.held_, kInvalidHandle)) {}

TargetLock& TargetLock::operator=(TargetLock&& other) noexcept {
  if (this != &other) {
    Release();
    held_ = std::exchange(other.held_, kInvalidHandle);
  }
  return *this;
}

}  // namespace platform
