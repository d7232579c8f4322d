#include "platform/system.h"

#include <langinfo.h>
#include <limits.h>
#include <locale.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix/locale_setup.h"

namespace platform {

namespace posix {

const std::string& CodeSetName() {
  static const std::string name = [] {
    ::setlocale(LC_CTYPE, "");
    const char* codeSet = ::nl_langinfo(CODESET);
    return std::string(codeSet ? codeSet : "");
  }();
  return name;
}

bool CodeSetIsUtf8() {
  const std::string& name = CodeSetName();
  return ::strcasecmp(name.c_str(), "UTF-8") == 0 || ::strcasecmp(name.c_str(), "UTF8") == 0;
}

}  // namespace posix

CodePage ActiveCodePage() {
  static const CodePage codePage = CodePageFromCodeSetName(posix::CodeSetName());
  return codePage;
}

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return std::string(name);
}

TimeZoneState CurrentTimeZone() {
  TimeZoneState state;
  time_t now = ::time(nullptr);
  struct tm local;
  if (now == static_cast<time_t>(-1) || !::localtime_r(&now, &local)) return state;
  state.biasMinutes = static_cast<std::int32_t>(-local.tm_gmtoff / 60);
  state.daylight = local.tm_isdst > 0;
  state.known = true;
  return state;
}

LocalDateTime CurrentLocalDateTime() {
  struct timespec now = {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local = {};
  ::localtime_r(&now.tv_sec, &local);
  return LocalDateTime{local.tm_year + 1900,
                       local.tm_mon + 1,
                       local.tm_mday,
                       local.tm_hour,
                       local.tm_min,
                       local.tm_sec,
                       static_cast<int>(now.tv_nsec / 1000000)};
}

std::uint32_t PerformanceCounterLow() {
  struct timespec now = {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  auto nanoseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                     static_cast<std::uint64_t>(now.tv_nsec);
  return static_cast<std::uint32_t>(nanoseconds);
}

// POSIX picks a named code page instead; this keeps the ASCII letters for completeness.
uint8_t SystemUpperCaseByte(uint8_t byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<uint8_t>(byte - 0x20) : byte;
}

uint8_t SystemLowerCaseByte(uint8_t byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<uint8_t>(byte + 0x20) : byte;
}

std::string DefaultLogFolder() {
  return "/tmp/";
}

std::string CurrentFolderPrefix() {
  return "./";
}

std::string_view FolderSeparators() {
  return "/";
}

std::string_view NativeLineEnd() {
  return "\n";
}

void PumpMessages() {}

}  // namespace platform
