// The tests' one temporary-folder helper: a fresh folder under the system's
// temporary folder, removed with everything in it, and byte-exact file reading
// and writing. Portable: the Windows build's tests use it too.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Entries of a folder, for checking that nothing was left behind.
inline std::size_t EntryCount(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Makes the file read-only; false when its owner can still write it (as root can),
// so a test of refused writes has nothing to show.
inline bool MakeReadOnly(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace);
  std::ofstream probe(path, std::ios::binary | std::ios::app);
  return !probe.is_open();
}

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("quorve-test-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) {
        // Links on the way resolved: the names the program shows are resolved too.
        path_ = std::filesystem::canonical(candidate);
        pathText_ = path_.string();
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempFolder() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    // Entries made read-only by a test must become writable again to be removed.
    for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::string& Path() const { return pathText_; }
  // The full name of an entry, with the platform's separator.
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

  void Write(std::string_view name, std::string_view bytes) const { WriteFile(path_ / name, bytes); }
  std::string Read(std::string_view name) const { return ReadFile(path_ / name); }
  // Entry names in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
  std::string pathText_;
};

// Makes a folder the current directory for the scope's lifetime.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolderScope() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace test_support
