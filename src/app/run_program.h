// The whole run: module start-up, parse, screen, mode, exit. Every failure that
// escapes ends in the failure report. Returns only by process exit.
#pragma once

[[noreturn]] void RunProgram();

// For use inside a catch block only: reports the failure being handled (any kind)
// through the failure report, which ends the process with exit code 1.
[[noreturn]] void ReportCurrentFailure();
