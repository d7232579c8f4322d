#include "platform/removal_on_interrupt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> removed;

void Record(const char* name) {
  removed.emplace_back(name);
}

std::vector<std::string> RemovedNow() {
  removed.clear();
  platform::RemoveRegisteredFiles(Record);
  std::sort(removed.begin(), removed.end());
  return removed;
}

TEST(RemovalOnInterrupt, RegisteredNamesAreRemovedUntilDropped) {
  const int a = platform::RegisterRemovalOnInterrupt("/tmp/a");
  const int b = platform::RegisterRemovalOnInterrupt("/tmp/b");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(RemovedNow(), (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
  platform::DropRemovalOnInterrupt(a);
  EXPECT_EQ(RemovedNow(), std::vector<std::string>{"/tmp/b"});
  platform::DropRemovalOnInterrupt(b);
  platform::DropRemovalOnInterrupt(-1);  // nothing
  EXPECT_TRUE(RemovedNow().empty());
}

TEST(RemovalOnInterrupt, AFullTableOrATooLongNameIsRefused) {
  EXPECT_EQ(platform::RegisterRemovalOnInterrupt(""), -1);
  EXPECT_EQ(platform::RegisterRemovalOnInterrupt(std::string(5000, 'n')), -1);
  std::vector<int> slots;
  for (int slot; (slot = platform::RegisterRemovalOnInterrupt("/tmp/many")) >= 0;) {
    slots.push_back(slot);
    ASSERT_LT(slots.size(), 10000u);
  }
  EXPECT_GE(slots.size(), 16u);
  platform::DropRemovalOnInterrupt(slots.back());
  EXPECT_EQ(platform::RegisterRemovalOnInterrupt("/tmp/last"), slots.back())
      << "a freed slot is used again";
  for (int slot : slots) platform::DropRemovalOnInterrupt(slot);
  EXPECT_TRUE(RemovedNow().empty());
}

}  // namespace
