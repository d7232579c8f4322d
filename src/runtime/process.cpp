#include "runtime/process.h"

#include <cstdio>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/text_stream.h"

namespace {

constexpr std::size_t kReportLimit = 1024;

std::vector<ShutdownStep>& ShutdownSteps() {
  static std::vector<ShutdownStep> steps;
  return steps;
}

std::string EightHexDigits(std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", value);
  return digits;
}

// A piece of the report as standard error shows it: in the OEM code page, and,
// on a terminal, with no byte it could take for a control (a file name in the
// message comes from the user's data).
std::string ShownOnStandardError(std::string_view piece) {
  return platform::TextForStream(platform::StandardError(), platform::AnsiToOem(piece));
}

void WriteReport(const Exception& failure) {
  platform::WriteStandardError(FailureReportText(failure));
}

// A stream failure that is still pending is what went wrong first: report that.
void WriteReportOfFirstFault(const Exception& failure) {
  FlushText(OutputText());
  const std::int32_t code = TakePendingStreamError();
  if (code == 0) {
    WriteReport(failure);
    return;
  }
  WriteReport(EInOutError(IoErrorMessage(code), code));
}

}  // namespace

void AddShutdownStep(ShutdownStep step) {
  ShutdownSteps().push_back(step);
}

[[noreturn]] void EndProcess(std::int32_t exitCode) {
  std::vector<ShutdownStep>& steps = ShutdownSteps();
  // Each step leaves the list before it runs, so a failure inside one that ends up
  // here again never runs it twice.
  while (!steps.empty()) {
    ShutdownStep step = steps.back();
    steps.pop_back();
    step();
  }
  CloseProcessStreams();
  platform::TerminateProcess(exitCode);
}

std::string FormatFailureReport(std::string_view className, std::string_view moduleName,
                                std::uint32_t address, std::string_view message) {
  std::string report;
  report.reserve(64 + className.size() + moduleName.size() + message.size());
  report += "Exception ";
  report += className;
  report += " in module ";
  report += moduleName;
  report += " at ";
  report += EightHexDigits(address);
  report += ".\r\n";
  report += message;
  if (!message.empty() && message.back() != '.') report += '.';
  report += "\r\n";
  if (report.size() > kReportLimit) report.resize(kReportLimit);
  return report;
}

std::string FailureReportText(const Exception& failure) {
  if (dynamic_cast<const ERefusal*>(&failure)) {
    // It names the input file: a terminal must not take the name for controls.
    return platform::TextForStream(platform::StandardError(), failure.Message()) + "\r\n";
  }
  const void* address = failure.RaiseAddress();
  const std::string report = FormatFailureReport(
      ShownOnStandardError(failure.ClassName()),
      ShownOnStandardError(platform::ModuleNameOfAddress(address)),
      platform::ModuleRelativeAddress(address), ShownOnStandardError(failure.Message()));
  return report + "\r\n";
}

[[noreturn]] void ReportUnhandledFailure(const Exception& failure) {
  static bool reporting = false;
  // A failure raised while a report is being made must not start another one.
  if (reporting) platform::TerminateProcess(1);
  reporting = true;
  try {
    WriteReportOfFirstFault(failure);
  } catch (...) {
    platform::TerminateProcess(1);
  }
  reporting = false;
  try {
    EndProcess(1);
  } catch (const Exception& late) {
    // A shutdown step failed: report that too. Steps run only once, so this ends.
    ReportUnhandledFailure(late);
  } catch (...) {
    platform::TerminateProcess(1);
  }
}
