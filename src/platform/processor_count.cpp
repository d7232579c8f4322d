#include <thread>

#include "platform/system.h"

namespace platform {

unsigned ProcessorCount() {
  // Zero means the count is unknown; one thread is always there.
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
}

}  // namespace platform
