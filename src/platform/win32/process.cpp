#include "platform/process.h"

#include <fcntl.h>
#include <io.h>

#include "platform/win32/windows_api.h"
// winuser.h spells an old name of CharToOemA this way; ours is a function.
#undef AnsiToOem

#include <cstdio>
#include <cstdlib>

#include "platform/command_line_split.h"
#include "platform/console.h"
#include "platform/files.h"

namespace platform {

namespace {

bool IsLeadByteOfAnsiCodePage(unsigned char byte) {
  return ::IsDBCSLeadByte(byte) != FALSE;
}

std::string WithoutFolder(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/:");
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

// The full file name of a module; the buffer grows for names past MAX_PATH, so a
// long path is never cut short.
std::string ModuleFileNameOf(HMODULE module) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = ::GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// The module whose image holds the address, or null.
HMODULE ModuleHolding(const void* address) {
  if (address == nullptr) return nullptr;
  MEMORY_BASIC_INFORMATION region;
  if (::VirtualQuery(address, &region, sizeof region) == 0) return nullptr;
  if (region.State != MEM_COMMIT || region.Type != MEM_IMAGE) return nullptr;
  return static_cast<HMODULE>(region.AllocationBase);
}

}  // namespace

void ProcessStartUp(int, char**) {
  // Failures are reported on standard error, never in a dialog box that would
  // hang an unattended run.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // Anything that reaches the C streams goes out as bytes, without CR LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool ArgumentsComeFromArgv() {
  return false;
}

// The process command line, cut as Windows programs cut it; double-byte characters
// of the ANSI code page are taken whole.
std::vector<std::string> CommandLineArguments() {
  const char* commandLine = ::GetCommandLineA();
  return SplitCommandLine(commandLine ? commandLine : "", IsLeadByteOfAnsiCodePage);
}

std::string ExecutablePath() {
  static const std::string path = ModuleFileNameOf(nullptr);
  return path;
}

std::string ModuleNameOfAddress(const void* address) {
  if (HMODULE module = ModuleHolding(address)) {
    std::string name = ModuleFileNameOf(module);
    if (!name.empty()) return WithoutFolder(name);
  }
  return WithoutFolder(ExecutablePath());
}

std::uint32_t ModuleRelativeAddress(const void* address) {
  HMODULE module = ModuleHolding(address);
  if (module == nullptr) return 0;
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) -
                                    reinterpret_cast<std::uintptr_t>(module));
}

// The counted form, so that bytes after a byte 0 are converted too.
std::string AnsiToOem(std::string_view text) {
  std::string converted(text);
  std::size_t done = 0;
  while (done < converted.size()) {
    auto count = static_cast<DWORD>(std::min<std::size_t>(converted.size() - done, 1u << 30));
    ::CharToOemBuffA(converted.data() + done, converted.data() + done, count);
    done += count;
  }
  return converted;
}

void WriteStandardError(std::string_view bytes) {
  FileHandle handle = StandardError();
  if (handle == kInvalidHandle) return;
  ConsoleFinishRow();
  std::size_t written = 0;
  WriteBytes(handle, bytes.data(), bytes.size(), written);
}

// std::exit rather than ExitProcess: the streams are closed by then, and exit
// still flushes anything a library left in C stdio.
[[noreturn]] void TerminateProcess(int exitCode) {
  ConsoleFinishRow();
  std::exit(exitCode);
}

}  // namespace platform
