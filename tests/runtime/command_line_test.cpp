#include "runtime/command_line.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"

namespace {

// The arguments are taken once, so the whole program's argv is set here before the
// first look.
class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::vector<std::string> argv = {"prog", "-c", "\"\"", "\"my file.txt\"", "", "a=b"};
    static std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    platform::ProcessStartUp(static_cast<int>(argv.size()), pointers.data());
  }
};

TEST_F(CommandLineTest, CountsOnlyNonEmptyArgumentsWithoutQuotes) {
  if (!platform::ArgumentsComeFromArgv()) {
    GTEST_SKIP() << "the arguments come from the process's own command line here; the "
                    "Windows platform tests start a process with one";
  }
  ASSERT_EQ(ArgumentCount(), 3);
  EXPECT_EQ(Argument(1), "-c");
  EXPECT_EQ(Argument(2), "my file.txt");
  EXPECT_EQ(Argument(3), "a=b");
}

TEST_F(CommandLineTest, OutOfRangeIndexesGiveNothing) {
  EXPECT_EQ(Argument(4), "");
  EXPECT_EQ(Argument(-1), "");
  EXPECT_EQ(Argument(INT32_MAX), "");
}

TEST_F(CommandLineTest, ArgumentZeroIsTheProgramFileNotArgv) {
  EXPECT_EQ(Argument(0), platform::ExecutablePath());
  EXPECT_NE(Argument(0), "prog");
  EXPECT_EQ(Argument(0), platform::FullPathOf(Argument(0)));
}

}  // namespace
