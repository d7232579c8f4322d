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

std::string TemporaryNameBeside(std::string_view target, std::uint32_t random) {
  const std::string_view folder = FolderPartOf(target);
  const std::string_view name = target.substr(folder.size()).substr(0, kMaxNamePart);
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random));
  std::string temporary;
  temporary.reserve(folder.size() + name.size() + 14);
  temporary.append(folder).append(".").append(name).append(".").append(digits).append(".tmp");
  return temporary;
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
