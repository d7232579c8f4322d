// Shared set-up for the run-control tests: fresh settings and pair lists for every
// test, the upper-case table built once, and a way to work in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "faststrings/fast_strings.h"

namespace apptest {

using Pair = std::pair<std::string, std::string>;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool started = [] {
      FastStringsStartUp();
      return true;
    }();
    (void)started;
    Settings = TSettings{};
    SearchList = std::make_unique<TStringList>();
    ReplaceList = std::make_unique<TStringList>();
  }
  void TearDown() override {
    SearchList.reset();
    ReplaceList.reset();
    Settings = TSettings{};
  }

  static std::vector<Pair> Pairs() {
    std::vector<Pair> pairs;
    EXPECT_EQ(SearchList->Count(), ReplaceList->Count());
    for (std::int32_t i = 0; i < SearchList->Count(); ++i) {
      pairs.emplace_back(SearchList->Strings(i), ReplaceList->Strings(i));
    }
    return pairs;
  }
};

// A fresh folder made the current directory for the test's lifetime.
class ScratchFolder {
 public:
  ScratchFolder() : previous_(std::filesystem::current_path()) {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("quorve-app-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
    path_ = std::filesystem::canonical(path_);
    std::filesystem::current_path(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string Full(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace apptest
