// Files for the text tests: a fresh folder under the system's temporary folder,
// removed with everything in it, and byte-exact reading and writing.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace text_test {

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::size_t EntryCount(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("quorve-text-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate.string();
        return;
      }
    }
    throw std::runtime_error("no temporary folder");
  }
  ~TempFolder() {
    std::error_code ignored;
    // Folders made read-only by a test must become writable again to be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes the file read-only; false when its owner can still write it (as root can),
// so a test of refused writes has nothing to show.
inline bool MakeReadOnly(const std::string& path) {
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_read |
                                   std::filesystem::perms::group_read |
                                   std::filesystem::perms::others_read,
                               std::filesystem::perm_options::replace);
  std::ofstream probe(path, std::ios::binary | std::ios::app);
  return !probe.is_open();
}

}  // namespace text_test
