#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef AnsiToOem  // an old winuser.h name, not ours

#include <gtest/gtest.h>

#include <array>
#include <cctype>

#include "platform/code_page.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void FunctionInThisProgram() {}

TEST(Win32Process, TheProgramKnowsItsOwnFile) {
  const std::string path = platform::ExecutablePath();
  EXPECT_TRUE(Lower(path).ends_with("\\platform_win32_tests.exe")) << path;
  EXPECT_EQ(
      Lower(platform::ModuleNameOfAddress(reinterpret_cast<const void*>(&FunctionInThisProgram))),
      "platform_win32_tests.exe");
}

TEST(Win32Process, AddressesAreNamedByTheModuleHoldingThem) {
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  const void* inKernel = reinterpret_cast<const void*>(::GetProcAddress(kernel, "CloseHandle"));
  EXPECT_EQ(Lower(platform::ModuleNameOfAddress(inKernel)), "kernel32.dll");
  EXPECT_EQ(platform::ModuleRelativeAddress(inKernel),
            reinterpret_cast<std::uintptr_t>(inKernel) - reinterpret_cast<std::uintptr_t>(kernel));
  // No module: the program's own, at 0.
  EXPECT_EQ(Lower(platform::ModuleNameOfAddress(nullptr)), "platform_win32_tests.exe");
  EXPECT_EQ(platform::ModuleRelativeAddress(nullptr), 0u);
  int onTheStack = 0;
  EXPECT_EQ(platform::ModuleRelativeAddress(&onTheStack), 0u);
}

TEST(Win32Process, OemConversionGoesOnPastAZeroByte) {
  if (::GetACP() != 1252 || (::GetOEMCP() != 437 && ::GetOEMCP() != 850)) {
    GTEST_SKIP() << "needs ANSI code page 1252 and OEM code page 437 or 850";
  }
  EXPECT_EQ(platform::AnsiToOem(std::string("\xE9\0\xE9 \xFC", 5)),
            std::string("\x82\0\x82 \x81", 5));
  EXPECT_EQ(platform::AnsiToOem("plain ASCII\r\n"), "plain ASCII\r\n");
  EXPECT_EQ(platform::AnsiToOem(""), "");
}

// The case rules the shared code folds by are the system's own upper-casing of its
// ANSI code page, byte for byte, and lower-casing undoes it for letters.
TEST(Win32System, CodePageIsTheSystemsOwnCaseMapping) {
  const platform::CodePage codePage = platform::ActiveCodePage();
  EXPECT_EQ(codePage, platform::CodePage::System);
  std::array<char, 256> table;
  for (int b = 0; b < 256; ++b) table[b] = static_cast<char>(b);
  ::CharUpperBuffA(table.data(), 256);
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const auto system = static_cast<std::uint8_t>(table[b]);
    EXPECT_EQ(platform::UpperCaseByte(codePage, static_cast<std::uint8_t>(b)), system);
  }
  EXPECT_EQ(platform::UpperCaseByte(codePage, 'a'), 'A');
  EXPECT_EQ(platform::LowerCaseByte(codePage, 'Q'), 'q');
  if (::GetACP() == 1252) {
    EXPECT_EQ(platform::UpperCaseByte(codePage, 0xE5), 0xC5);  // a with ring
    EXPECT_EQ(platform::LowerCaseByte(codePage, 0xC5), 0xE5);
    EXPECT_EQ(platform::UpperCaseByte(codePage, 0xF7), 0xF7);  // division sign has no case
  }
}

TEST(Win32System, PumpingMessagesEmptiesTheQueueAndDropsQuit) {
  const DWORD thread = ::GetCurrentThreadId();
  MSG message;
  ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its queue
  ASSERT_TRUE(::PostThreadMessageA(thread, WM_USER + 1, 0, 0));
  ASSERT_TRUE(::PostThreadMessageA(thread, WM_QUIT, 0, 0));
  ASSERT_TRUE(::PostThreadMessageA(thread, WM_USER + 2, 0, 0));
  platform::PumpMessages();
  EXPECT_FALSE(::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  platform::PumpMessages();  // an empty queue returns at once
}

TEST(Win32System, ComputerNameMatchesTheSystemsAndHasNoTerminator) {
  char name[256] = {};
  DWORD size = sizeof name;
  ASSERT_TRUE(::GetComputerNameA(name, &size));
  const std::string ours = platform::ComputerName();
  EXPECT_EQ(ours, std::string(name));
  EXPECT_EQ(ours.find('\0'), std::string::npos);
}

TEST(Win32System, TimeZoneIsKnownAndLocalTimeIsPlausible) {
  EXPECT_TRUE(platform::CurrentTimeZone().known);
  const platform::LocalDateTime now = platform::CurrentLocalDateTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.millisecond, 999);
}

}  // namespace
