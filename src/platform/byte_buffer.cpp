#include "platform/byte_buffer.h"

#include "platform/files.h"

namespace platform {

void ReserveBytes(std::string& text, std::size_t size) {
  text.reserve(size);
  if (text.capacity() >= kLargeBufferSize) AdviseHugePages(text.data(), text.capacity());
}

}  // namespace platform
