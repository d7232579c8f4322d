#include "platform/win32/replacement_names.h"

#include <cctype>
#include <cstdio>

namespace platform::win32 {

namespace {

// Keeps the temporary name within the 255 bytes a name may have.
constexpr std::size_t kMaxNamePart = 200;

}  // namespace

std::string_view FolderPartOf(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/:");
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

namespace {

// "<folder>.<name>.<suffix>", the name cut to kMaxNamePart bytes.
std::string HiddenNameBeside(std::string_view target, std::string_view suffix) {
  const std::string_view folder = FolderPartOf(target);
  const std::string_view name = target.substr(folder.size()).substr(0, kMaxNamePart);
  std::string hidden;
  hidden.reserve(folder.size() + name.size() + suffix.size() + 2);
  hidden.append(folder).append(".").append(name).append(".").append(suffix);
  return hidden;
}

}  // namespace

std::string TemporaryNameBeside(std::string_view target, std::uint32_t random) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random));
  return HiddenNameBeside(target, std::string(digits) + ".tmp");
}

std::string BackupNameBeside(std::string_view target, std::uint32_t processId, int attempt) {
  std::string suffix = "quorve-backup-" + std::to_string(processId);
  if (attempt > 0) suffix += "-" + std::to_string(attempt);
  return HiddenNameBeside(target, suffix);
}

}  // namespace platform::win32

namespace platform::win32 {

std::string WithoutLongPathPrefix(std::string_view path) {
  constexpr std::string_view kPrefix = R"(\\?\)";
  const std::string_view rest = path.starts_with(kPrefix) ? path.substr(kPrefix.size()) : "";
  const bool drivePath = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) &&
                         rest[1] == ':' && rest[2] == '\\';
  return std::string(drivePath ? rest : path);
}

}  // namespace platform::win32
