#include "program/program.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "runtime/process.h"

std::string ModuleFileName;
std::string ProgramFolder;
std::string ProgramName;
double TimeZoneBias = 0.0;
bool DaylightActive = false;

namespace {

constexpr std::string_view kFolderEnds = "\\/:";
constexpr std::string_view kLongPathPrefix = "\\\\?\\";
constexpr std::size_t kProgramNameCut = 12;

bool EndsWithSeparator(std::string_view folder) {
  return !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
}

void TakeTimeZone() {
  const platform::TimeZoneState zone = platform::CurrentTimeZone();
  TimeZoneBias = zone.known ? zone.biasMinutes / 1440.0 : 0.0;
  DaylightActive = zone.known && zone.daylight;
}

}  // namespace

std::string_view FolderPartOf(std::string_view path) {
  const std::size_t last = path.find_last_of(kFolderEnds);
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

std::string_view FileNamePartOf(std::string_view path) {
  const std::size_t last = path.find_last_of(kFolderEnds);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::string ProgramNameFrom(std::string_view fileNamePart) {
  std::string name(fileNamePart);
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot, kProgramNameCut);
  return name;
}

char FolderSeparator(std::string_view folder) {
  const std::size_t last = folder.find_last_of("/\\");
  return last == std::string_view::npos ? '\\' : folder[last];
}

std::string ProgramFolderFrom(std::string_view moduleFileName, FullPathFunction expand) {
  const std::string_view folderPart = FolderPartOf(moduleFileName);
  if (folderPart.empty()) return std::string();
  std::string folder = expand(folderPart);
  // A folder that cannot be expanded is still better than none for naming things.
  if (folder.empty()) folder = std::string(folderPart);
  if (folder.starts_with(kLongPathPrefix)) folder.erase(0, kLongPathPrefix.size());
  // The expansion may drop the final separator; keep the one the folder part ended with.
  if (!folder.empty() && !EndsWithSeparator(folder)) folder += FolderSeparator(folderPart);
  return folder;
}

void LibShutDown() {
  ModuleFileName.clear();
  ModuleFileName.shrink_to_fit();
  ProgramFolder.clear();
  ProgramFolder.shrink_to_fit();
  ProgramName.clear();
  ProgramName.shrink_to_fit();
}

void LibStartUp() {
  std::srand(platform::PerformanceCounterLow());
  TakeTimeZone();
  ModuleFileName = platform::ExecutablePath();
  ProgramFolder = ProgramFolderFrom(ModuleFileName, platform::FullPathOf);
  ProgramName = ProgramNameFrom(FileNamePartOf(ModuleFileName));
  AddShutdownStep(LibShutDown);
}

void PumpMessages() {
  platform::PumpMessages();
}

std::string ComputerName() {
  return platform::ComputerName();
}

std::string FileBaseName(std::string_view path) {
  const std::string_view name = FileNamePartOf(path);
  const std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string Token(std::string_view text, std::int32_t index, char separator) {
  if (index == 0 || text.empty()) return std::string();
  // 64 bits, so that the lowest 32-bit index can be negated.
  std::int64_t remaining = index > 0 ? std::int64_t{index} : -std::int64_t{index};
  if (index > 0) {
    std::size_t start = 0;
    while (--remaining > 0) {
      const std::size_t next = text.find(separator, start);
      if (next == std::string_view::npos) return std::string();
      start = next + 1;
    }
    const std::size_t end = text.find(separator, start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
  }
  std::size_t end = text.size();  // one past the field's last byte
  while (--remaining > 0) {
    const std::size_t previous = end == 0 ? std::string_view::npos : text.rfind(separator, end - 1);
    if (previous == std::string_view::npos) return std::string();
    end = previous;
  }
  const std::size_t before = end == 0 ? std::string_view::npos : text.rfind(separator, end - 1);
  const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
  return std::string(text.substr(start, end - start));
}
