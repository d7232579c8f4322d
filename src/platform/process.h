// The running process: its arguments, its own file, its end, and raw standard error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Called first in main: keeps argc/argv, ignores the broken-pipe signal (a closed
// pipe must surface as a write failure, not kill the process), and has an
// interruption (SIGINT, SIGTERM, SIGHUP; Ctrl-C, Ctrl-Break, a console close)
// remove the files registered for it (removal_on_interrupt.h) before the process goes.
void ProcessStartUp(int argc, char** argv);

// The arguments after the program name. No argument contains a double quote and
// no argument is empty (POSIX: quotes are removed, then empty arguments dropped).
std::vector<std::string> CommandLineArguments();

// Whether those arguments come from the argv given to ProcessStartUp (POSIX) rather
// than from the process's own command line, which Windows programs cut themselves.
bool ArgumentsComeFromArgv();

// Full path of the running program file.
std::string ExecutablePath();

// File name (without folder) of the module holding an address, and the address
// relative to that module's start; the program's own file and 0 when unknown.
std::string ModuleNameOfAddress(const void* address);
std::uint32_t ModuleRelativeAddress(const void* address);

// Converts the failure report from the ANSI to the OEM code page (identity where
// the platform has no OEM code page).
std::string AnsiToOem(std::string_view text);

// Writes straight to the standard-error handle, bypassing every stream.
void WriteStandardError(std::string_view bytes);

[[noreturn]] void TerminateProcess(int exitCode);

}  // namespace platform
