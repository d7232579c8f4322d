#include "platform/win32/error_codes.h"

#include "platform/win32/windows_api.h"

#include <utility>

namespace platform::win32 {

namespace {

thread_local unsigned long lastFailure = 0;

constexpr unsigned long kGeneralFailure = ERROR_GEN_FAILURE;

}  // namespace

ErrorCode CodeOfWindowsError(unsigned long windowsError) {
  switch (windowsError) {
    case 0:
      return static_cast<ErrorCode>(kGeneralFailure);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kDiskFull;
    default:
      return static_cast<ErrorCode>(windowsError);
  }
}

ErrorCode RecordFailure(unsigned long windowsError) {
  if (windowsError == 0) windowsError = kGeneralFailure;
  lastFailure = windowsError;
  return CodeOfWindowsError(windowsError);
}

ErrorCode RecordLastError() {
  return RecordFailure(::GetLastError());
}

unsigned long WindowsErrorBehindCode(ErrorCode code) {
  if (lastFailure != 0 && CodeOfWindowsError(lastFailure) == code) return lastFailure;
  if (code == kDiskFull) return ERROR_DISK_FULL;
  return static_cast<unsigned long>(code);
}

std::string WithoutTrailingStopsAndBlanks(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

std::string SystemMessageText(unsigned long windowsError) {
  char* buffer = nullptr;
  DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, windowsError, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer) text.assign(buffer, length);
  if (buffer) ::LocalFree(buffer);
  text = WithoutTrailingStopsAndBlanks(std::move(text));
  if (text.empty()) text = "Unknown error " + std::to_string(windowsError);
  return text;
}

}  // namespace platform::win32
