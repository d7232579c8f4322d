#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "platform/removal_on_interrupt.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace {

using Arguments = std::vector<std::string>;

Arguments ArgumentsAfterStartUp(std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  platform::ProcessStartUp(static_cast<int>(argv.size()), pointers.data());
  return platform::CommandLineArguments();
}

TEST(ProcessArguments, QuotesAreRemovedAndEmptyArgumentsDropped) {
  EXPECT_EQ(ArgumentsAfterStartUp({"quorve", "\"a=b\"", "", "\"\"", "x\"y z\"w", "-o=\"out\""}),
            Arguments({"a=b", "xy zw", "-o=out"}));
  EXPECT_EQ(ArgumentsAfterStartUp({"quorve"}), Arguments());
  EXPECT_EQ(ArgumentsAfterStartUp({"quorve", "\t", " "}), Arguments({"\t", " "}))
      << "blanks are argument bytes once the shell has split";
}

TEST(ProcessIdentity, ExecutablePathIsTheRunningProgram) {
  const std::string path = platform::ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

TEST(ProcessIdentity, AddressesInTheProgramNameItsOwnFile) {
  const std::string own = std::filesystem::path(platform::ExecutablePath()).filename();
  const void* here = reinterpret_cast<const void*>(&ArgumentsAfterStartUp);
  EXPECT_EQ(platform::ModuleNameOfAddress(here), own);
  EXPECT_EQ(platform::ModuleNameOfAddress(nullptr), own);
  EXPECT_EQ(platform::ModuleRelativeAddress(nullptr), 0u);
  // Two places in the same module keep their distance once made relative.
  const void* there = reinterpret_cast<const void*>(&platform::ExecutablePath);
  auto distance = reinterpret_cast<std::intptr_t>(there) - reinterpret_cast<std::intptr_t>(here);
  EXPECT_EQ(static_cast<std::int64_t>(platform::ModuleRelativeAddress(there)) -
                static_cast<std::int64_t>(platform::ModuleRelativeAddress(here)),
            distance);
}

TEST(ProcessIdentity, AddressesInALibraryNameTheLibrary) {
  const void* inLibrary = reinterpret_cast<const void*>(&::getpid);
  const std::string name = platform::ModuleNameOfAddress(inLibrary);
  EXPECT_EQ(name.find('/'), std::string::npos) << name;
  EXPECT_NE(name.find("libc"), std::string::npos) << name;
}

TEST(SystemFacts, TimeZoneBiasAgreesWithTheCLibrary) {
  const platform::TimeZoneState zone = platform::CurrentTimeZone();
  ASSERT_TRUE(zone.known);
  std::time_t now = std::time(nullptr);
  std::tm utc = *std::gmtime(&now);
  utc.tm_isdst = zone.daylight ? 1 : 0;
  // mktime reads the UTC fields as local time: the difference is the bias.
  double biasSeconds = std::difftime(std::mktime(&utc), now);
  EXPECT_NEAR(biasSeconds / 60.0, zone.biasMinutes, 1.0);
}

TEST(SystemFacts, LogsGoToTheTemporaryFolder) {
  EXPECT_EQ(platform::DefaultLogFolder(), "/tmp/");
}

// An interruption removes the registered files and still ends the process by its
// signal; a signal the caller ignored stays ignored.
TEST(ProcessInterruption, RemovesRegisteredFilesThenDiesOfTheSignal) {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    for (bool ignoredBefore : {false, true}) {
      test_support::TempFolder folder;
      const std::string file = folder / "new.tmp";
      test_support::WriteFile(file, "half");
      const pid_t child = ::fork();
      if (child == 0) {
        if (ignoredBefore) ::signal(signalNumber, SIG_IGN);
        char name[] = "quorve";
        char* argv[] = {name, nullptr};
        platform::ProcessStartUp(1, argv);
        platform::RegisterRemovalOnInterrupt(file);
        ::raise(signalNumber);
        ::_exit(42);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      if (ignoredBefore) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << signalNumber;
        EXPECT_TRUE(std::filesystem::exists(file)) << signalNumber;
      } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
        EXPECT_FALSE(std::filesystem::exists(file)) << signalNumber;
      }
    }
  }
}

}  // namespace
