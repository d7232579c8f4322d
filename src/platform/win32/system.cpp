#include "platform/system.h"

#include "platform/win32/windows_api.h"

namespace platform {

// The system's own upper- and lower-casing of the ANSI code page, whatever it is;
// with UTF-8 as the ANSI code page (65001) a byte above 0x7F is no letter of its
// own, and searches fold letters by Unicode's rules instead.
CodePage ActiveCodePage() {
  return ::GetACP() == CP_UTF8 ? CodePage::Utf8 : CodePage::System;
}

uint8_t SystemUpperCaseByte(uint8_t byte) {
  char buffer[1] = {static_cast<char>(byte)};
  ::CharUpperBuffA(buffer, 1);
  return static_cast<uint8_t>(buffer[0]);
}

uint8_t SystemLowerCaseByte(uint8_t byte) {
  char buffer[1] = {static_cast<char>(byte)};
  ::CharLowerBuffA(buffer, 1);
  return static_cast<uint8_t>(buffer[0]);
}

std::string ComputerName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return {};
  return std::string(name, size < sizeof name ? size : sizeof name - 1);
}

TimeZoneState CurrentTimeZone() {
  TIME_ZONE_INFORMATION zone;
  TimeZoneState state;
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_STANDARD:
      state.biasMinutes = static_cast<std::int32_t>(zone.Bias + zone.StandardBias);
      state.known = true;
      break;
    case TIME_ZONE_ID_DAYLIGHT:
      state.biasMinutes = static_cast<std::int32_t>(zone.Bias + zone.DaylightBias);
      state.daylight = true;
      state.known = true;
      break;
    case TIME_ZONE_ID_UNKNOWN:
      // A zone without daylight saving still has its offset from UTC.
      state.biasMinutes = static_cast<std::int32_t>(zone.Bias);
      state.known = true;
      break;
    default:
      break;
  }
  return state;
}

LocalDateTime CurrentLocalDateTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return LocalDateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                       now.wMinute, now.wSecond, now.wMilliseconds};
}

std::uint32_t PerformanceCounterLow() {
  LARGE_INTEGER counter;
  if (::QueryPerformanceCounter(&counter)) return static_cast<std::uint32_t>(counter.LowPart);
  return static_cast<std::uint32_t>(::GetTickCount());
}

// A WM_QUIT in the queue is taken off and dropped: the run ends when its work is done.
std::string DefaultLogFolder() {
  return "c:\\temp\\";
}

std::string CurrentFolderPrefix() {
  return ".\\";
}

std::string_view FolderSeparators() {
  return "\\/:";
}

std::string_view NativeLineEnd() {
  return "\r\n";
}

void PumpMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

}  // namespace platform
