#include "platform/removal_on_interrupt.h"

#include <atomic>
#include <cstring>

namespace platform {

namespace {

constexpr int kSlots = 64;
constexpr std::size_t kLongestName = 4096;

// A slot is free, being filled, or holds a name.
enum SlotState : int { kFree = 0, kFilling = 1, kHolding = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char name[kLongestName];
};

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers read the slots");

Slot slots[kSlots];

}  // namespace

int RegisterRemovalOnInterrupt(std::string_view name) {
  if (name.empty() || name.size() >= kLongestName) return -1;
  for (int index = 0; index < kSlots; ++index) {
    int expected = kFree;
    if (!slots[index].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[index].name, name.data(), name.size());
    slots[index].name[name.size()] = '\0';
    slots[index].state.store(kHolding);
    return index;
  }
  return -1;
}

void DropRemovalOnInterrupt(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  slots[slot].state.store(kFree);
}

void RemoveRegisteredFiles(void (*remove)(const char* name)) {
  for (Slot& slot : slots) {
    if (slot.state.load() == kHolding) remove(slot.name);
  }
}

}  // namespace platform
