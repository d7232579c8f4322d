#include "runtime/command_line.h"

#include <vector>

#include "platform/process.h"

namespace {

// Taken once: the arguments do not change during a run.
const std::vector<std::string>& Arguments() {
  static const std::vector<std::string> arguments = platform::CommandLineArguments();
  return arguments;
}

}  // namespace

std::int32_t ArgumentCount() {
  return static_cast<std::int32_t>(Arguments().size());
}

std::string Argument(std::int32_t index) {
  if (index == 0) return platform::ExecutablePath();
  if (index < 0 || index > ArgumentCount()) return {};
  return Arguments()[static_cast<std::size_t>(index - 1)];
}
