#include "platform/posix/error_codes.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace platform::posix {

namespace {

thread_local int lastFailureErrno = 0;

// strerror_r comes in two shapes (GNU returns the text, XSI fills the buffer).
[[maybe_unused]] const char* PickErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* PickErrorText(const char* result, const char*) {
  return result;
}

}  // namespace

ErrorCode CodeOfErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
      return kAccessDenied;
    case ENOSPC:
      return kDiskFull;
    default:
      return errnoValue;
  }
}

ErrorCode RecordFailure(int errnoValue) {
  lastFailureErrno = errnoValue;
  return CodeOfErrno(errnoValue);
}

int ErrnoBehindCode(ErrorCode code) {
  if (lastFailureErrno != 0 && CodeOfErrno(lastFailureErrno) == code) return lastFailureErrno;
  switch (code) {
    case kFileNotFound:
      return ENOENT;
    case kPathNotFound:
      return ENOTDIR;
    case kTooManyOpenFiles:
      return EMFILE;
    case kAccessDenied:
      return EACCES;
    case kDiskFull:
      return ENOSPC;
    default:
      return code;
  }
}

std::string TrimmedErrnoText(int errnoValue) {
  char buffer[256] = {};
  const char* found = PickErrorText(strerror_r(errnoValue, buffer, sizeof buffer), buffer);
  std::string text = found ? std::string(found) : "Unknown error " + std::to_string(errnoValue);
  if (text.size() > 256) text.resize(256);
  return WithoutTrailingStopsAndBlanks(std::move(text));
}

std::string WithoutTrailingStopsAndBlanks(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace platform::posix
