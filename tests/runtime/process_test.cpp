#include "runtime/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/process.h"
#include "support/temp_folder.h"
#include "text/text_stream.h"

namespace {

using ::testing::ExitedWithCode;

// --- The report text -----------------------------------------------------------

TEST(FormatFailureReport, TemplateFilledByteForByte) {
  EXPECT_EQ(FormatFailureReport("EFOpenError", "quorve", 0x1A2B, "Cannot open file \"/x\". Denied"),
            "Exception EFOpenError in module quorve at 00001A2B.\r\n"
            "Cannot open file \"/x\". Denied.\r\n");
}

TEST(FormatFailureReport, FullStopRules) {
  struct Case {
    std::string message, secondLine;
  } cases[] = {
      {"", ""},
      {"Out of memory", "Out of memory."},
      {"Ends with a stop.", "Ends with a stop."},
      {"Two..", "Two.."},
      {"Ends with CR LF\r\n", "Ends with CR LF\r\n."},
      {std::string("nul\0", 4), std::string("nul\0.", 5)},
      {".", "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFailureReport("ERegExpr", "m", 0, c.message),
              "Exception ERegExpr in module m at 00000000.\r\n" + c.secondLine + "\r\n")
        << c.message;
  }
}

TEST(FormatFailureReport, AddressIsEightUpperCaseHexDigits) {
  auto addressField = [](std::uint32_t address) {
    std::string report = FormatFailureReport("E", "m", address, "x");
    std::size_t at = report.find(" at ");
    return report.substr(at + 4, report.find(".\r\n") - at - 4);
  };
  EXPECT_EQ(addressField(0), "00000000");
  EXPECT_EQ(addressField(0xabcdef), "00ABCDEF");
  EXPECT_EQ(addressField(0xFFFFFFFF), "FFFFFFFF");
}

TEST(FormatFailureReport, CutTo1024Bytes) {
  const std::string head = "Exception E in module m at 00000000.\r\n";
  // Exactly full: the message, its full stop and CR LF end at byte 1024.
  std::string fits(1024 - head.size() - 3, 'a');
  std::string report = FormatFailureReport("E", "m", 0, fits);
  EXPECT_EQ(report.size(), 1024u);
  EXPECT_EQ(report.substr(1021), ".\r\n");

  std::string longer(fits.size() + 1, 'a');
  report = FormatFailureReport("E", "m", 0, longer);
  EXPECT_EQ(report.size(), 1024u);
  EXPECT_EQ(report, head + longer + ".\r");

  report = FormatFailureReport("E", "m", 0, std::string(5000, 'b'));
  EXPECT_EQ(report, head + std::string(1024 - head.size(), 'b'));
}

// --- The end of the process ------------------------------------------------------

void WriteOne() {
  platform::WriteStandardError("1");
}
void WriteTwo() {
  platform::WriteStandardError("2");
}
void WriteThree() {
  platform::WriteStandardError("3");
}

TEST(EndProcessDeathTest, ShutdownStepsRunInReverseOrderThenTheProcessExits) {
  EXPECT_EXIT(
      {
        AddShutdownStep(WriteOne);
        AddShutdownStep(WriteTwo);
        AddShutdownStep(WriteThree);
        EndProcess(7);
      },
      ExitedWithCode(7), ::testing::Eq("321"));
  EXPECT_EXIT(EndProcess(0), ExitedWithCode(0), ::testing::Eq(""));
}

// Points standard output at a file for the rest of this (child) process.
void StandardOutputTo(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(fd, STDOUT_FILENO);
  ::close(fd);
}

void WriteStepLine() {
  WriteTextBytes(OutputText(), " step");
}

class ProcessEndFiles : public ::testing::Test {
 protected:
  std::string OutputPath() const { return folder_.string() + "/stdout"; }
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("quorve-text-process-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

 private:
  std::filesystem::path folder_;
};

TEST_F(ProcessEndFiles, WaitingOutputIsWrittenOutAfterTheShutdownSteps) {
  const std::string path = OutputPath();
  EXPECT_EXIT(
      {
        StandardOutputTo(path);
        AddShutdownStep(WriteStepLine);
        WriteTextBytes(OutputText(), "waiting");
        EndProcess(0);
      },
      ExitedWithCode(0), ::testing::Eq(""));
  EXPECT_EQ(test_support::ReadFile(path), "waiting step");
}

// --- The unhandled-failure report -----------------------------------------------

std::string OwnModuleName() {
  return std::filesystem::path(platform::ExecutablePath()).filename().string();
}

TEST(ReportUnhandledFailureDeathTest, ThreeLinesOnStandardErrorAndExitCodeOne) {
  const std::string expected = "Exception EFOpenError in module " + OwnModuleName() +
                               " at [0-9A-F]{8}\\.\r\n"
                               "Cannot open file \"/x\"\\. No such file or directory\\.\r\n\r\n";
  EXPECT_EXIT(
      ReportUnhandledFailure(EFOpenError("Cannot open file \"/x\". No such file or directory")),
      ExitedWithCode(1), ::testing::MatchesRegex(expected));
}

TEST(ReportUnhandledFailureDeathTest, EmptyMessageGivesAnEmptySecondLine) {
  EXPECT_EXIT(ReportUnhandledFailure(Exception("")), ExitedWithCode(1),
              ::testing::MatchesRegex("Exception Exception in module [^ ]+ at [0-9A-F]{8}\\.\r\n"
                                      "\r\n\r\n"));
}

TEST(ReportUnhandledFailureDeathTest, PendingStreamFailureIsReportedInstead) {
  EXPECT_EXIT(
      {
        PendingStreamError() = 103;
        ReportUnhandledFailure(EFCreateError("Cannot create file \"/y\". Denied"));
      },
      ExitedWithCode(1),
      ::testing::MatchesRegex("Exception EInOutError in module [^ ]+ at [0-9A-F]{8}\\.\r\n"
                              "I/O error 103\\.\r\n\r\n"));
}

TEST_F(ProcessEndFiles, StandardOutputIsFlushedBeforeTheReport) {
  const std::string path = OutputPath();
  EXPECT_EXIT(
      {
        StandardOutputTo(path);
        WriteTextBytes(OutputText(), "written before the failure");
        ReportUnhandledFailure(EWriteError("Stream write error"));
      },
      ExitedWithCode(1), ::testing::ContainsRegex("EWriteError"));
  EXPECT_EQ(test_support::ReadFile(path), "written before the failure");
}

void FailingStep() {
  throw EInOutError("Disk full", 101);
}

TEST(ReportUnhandledFailureDeathTest, FailingShutdownStepIsReportedOnceAndTheRestStillRun) {
  EXPECT_EXIT(
      {
        AddShutdownStep(WriteOne);
        AddShutdownStep(FailingStep);
        AddShutdownStep(WriteThree);
        ReportUnhandledFailure(Exception("first"));
      },
      ExitedWithCode(1),
      ::testing::MatchesRegex("Exception Exception in module [^ ]+ at [0-9A-F]{8}\\.\r\n"
                              "first\\.\r\n\r\n"
                              "3"
                              "Exception EInOutError in module [^ ]+ at [0-9A-F]{8}\\.\r\n"
                              "Disk full\\.\r\n\r\n"
                              "1"));
}

}  // namespace
