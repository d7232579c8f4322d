#include "platform/win32/windows_api.h"
#undef AnsiToOem  // an old winuser.h name, not ours

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

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

// Started by the test below with QUORVE_ARGUMENTS_TO naming a file: writes the
// arguments this process sees there, one per line.
TEST(Win32ProcessChild, DISABLED_WritesItsArguments) {
  char file[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableA("QUORVE_ARGUMENTS_TO", file, MAX_PATH), 0u);
  std::ofstream out(file, std::ios::binary);
  for (const std::string& argument : platform::CommandLineArguments()) out << argument << '\n';
}

// The arguments are cut from the process's command line: quotes go, a quoted space
// stays inside its argument, and empty arguments are dropped.
TEST(Win32Process, ArgumentsComeFromTheProcessCommandLine) {
  EXPECT_FALSE(platform::ArgumentsComeFromArgv());
  char folder[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
  const std::string file =
      std::string(folder) + "quorve-arguments-" + std::to_string(::GetCurrentProcessId()) + ".txt";
  ASSERT_TRUE(::SetEnvironmentVariableA("QUORVE_ARGUMENTS_TO", file.c_str()));
  const std::string filter = "--gtest_filter=Win32ProcessChild.DISABLED_WritesItsArguments";
  std::string command = "\"" + platform::ExecutablePath() + "\" --gtest_also_run_disabled_tests " +
                        filter + " -c \"\" \"my file.txt\" \"\" a=b \"x\"\"y\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &child));
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(child.hProcess, &exitCode);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  ::SetEnvironmentVariableA("QUORVE_ARGUMENTS_TO", nullptr);
  EXPECT_EQ(exitCode, 0u);

  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> seen;
  for (std::string line; std::getline(in, line);) seen.push_back(line);
  in.close();
  ::DeleteFileA(file.c_str());
  const std::vector<std::string> expected = {
      "--gtest_also_run_disabled_tests", filter, "-c", "my file.txt", "a=b", "xy"};
  EXPECT_EQ(seen, expected);
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

TEST(Win32System, LogsGoToTheTemporaryFolderOfDriveC) {
  EXPECT_EQ(platform::DefaultLogFolder(), "c:\\temp\\");
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
