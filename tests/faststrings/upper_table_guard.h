// Test helper: installs the upper-case table of a code page (or any table) for
// the life of the object and puts the previous one back afterwards.
#pragma once

#include <array>
#include <cstdint>

#include "faststrings/fast_strings.h"

class UpperTableGuard {
 public:
  explicit UpperTableGuard(platform::CodePage codePage) : saved_(UpperTable) {
    UpperTable = MakeUpperTable(codePage);
  }
  explicit UpperTableGuard(const std::array<std::uint8_t, 256>& table) : saved_(UpperTable) {
    UpperTable = table;
  }
  ~UpperTableGuard() { UpperTable = saved_; }
  UpperTableGuard(const UpperTableGuard&) = delete;
  UpperTableGuard& operator=(const UpperTableGuard&) = delete;

 private:
  std::array<std::uint8_t, 256> saved_;
};
