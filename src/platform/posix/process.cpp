#include "platform/process.h"

#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/console.h"
#include "platform/files.h"

namespace platform {

namespace {

struct StartUpState {
  bool started = false;
  std::vector<std::string> rawArguments;  // argv[1..]
};

StartUpState& State() {
  static StartUpState state;
  return state;
}

// Before ProcessStartUp (in tests, say) the kernel's copy of argv stands in.
std::vector<std::string> ArgumentsFromProc() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    arguments.emplace_back(all, start, end - start);
    start = end + 1;
  }
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

std::string WithoutFolder(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Where the module holding this code (linked into the program) was loaded.
const void* OwnModuleBase() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<const void*>(&WithoutFolder), &info) == 0) return nullptr;
  return info.dli_fbase;
}

}  // namespace

void ProcessStartUp(int argc, char** argv) {
  StartUpState& state = State();
  state.started = true;
  state.rawArguments.clear();
  for (int i = 1; i < argc; ++i) state.rawArguments.emplace_back(argv[i] ? argv[i] : "");
  ::signal(SIGPIPE, SIG_IGN);
}

bool ArgumentsComeFromArgv() {
  return true;
}

std::vector<std::string> CommandLineArguments() {
  const StartUpState& state = State();
  std::vector<std::string> raw = state.started ? state.rawArguments : ArgumentsFromProc();
  std::vector<std::string> arguments;
  for (std::string& argument : raw) {
    std::erase(argument, '"');
    if (!argument.empty()) arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string ExecutablePath() {
  static const std::string path = [] {
    char buffer[PATH_MAX + 1];
    ssize_t length = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
  }();
  return path;
}

std::string ModuleNameOfAddress(const void* address) {
  Dl_info info;
  if (address && ::dladdr(address, &info) != 0 && info.dli_fname && *info.dli_fname &&
      info.dli_fbase != OwnModuleBase()) {
    return WithoutFolder(info.dli_fname);
  }
  // The program's own module goes by its real file name, whatever argv[0] said.
  return WithoutFolder(ExecutablePath());
}

std::uint32_t ModuleRelativeAddress(const void* address) {
  Dl_info info;
  if (address && ::dladdr(address, &info) != 0 && info.dli_fbase) {
    auto offset = reinterpret_cast<std::uintptr_t>(address) -
                  reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    return static_cast<std::uint32_t>(offset);
  }
  return 0;
}

std::string AnsiToOem(std::string_view text) {
  return std::string(text);
}

void WriteStandardError(std::string_view bytes) {
  ConsoleFinishRow();
  std::size_t written = 0;
  WriteBytes(STDERR_FILENO, bytes.data(), bytes.size(), written);
}

// std::exit rather than _exit: the streams are closed by then, and exit still
// flushes anything a library left in C stdio and lets the leak checker run.
[[noreturn]] void TerminateProcess(int exitCode) {
  ConsoleFinishRow();
  std::exit(exitCode);
}

}  // namespace platform
