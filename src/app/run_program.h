// The whole run: module start-up, parse, screen, mode, exit. Every failure that
// escapes ends in the failure report. Returns only by process exit.
#pragma once

[[noreturn]] void RunProgram();
