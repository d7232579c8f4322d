// How the process ends: module shutdowns in reverse start-up order, then the
// process text streams are closed; and the report of a failure nobody caught.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/exceptions.h"

using ShutdownStep = void (*)();

// Each module's start-up registers its shutdown here; EndProcess runs them in
// reverse order of registration.
void AddShutdownStep(ShutdownStep step);

[[noreturn]] void EndProcess(std::int32_t exitCode);

// The report text (before the final CR LF): "Exception %s in module %s at %p." CR LF
// "%s%s" CR LF, cut to 1024 bytes.
std::string FormatFailureReport(std::string_view className, std::string_view moduleName,
                                std::uint32_t address, std::string_view message);

// What a failure report writes to standard error: a refusal's message alone, any
// other failure as FormatFailureReport, each followed by CR LF.
std::string FailureReportText(const Exception& failure);

// Flushes standard output, swaps in a pending stream failure if there is one,
// writes the report to standard error and ends the process with exit code 1.
[[noreturn]] void ReportUnhandledFailure(const Exception& failure);
