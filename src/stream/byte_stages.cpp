#include "stream/byte_stages.h"

#include <cstring>

#include "oem/oem.h"

namespace stream {

void ZeroCutStage::Put(std::string& block) {
  if (cut_) return;
  const void* zero = std::memchr(block.data(), 0, block.size());
  if (!zero) {
    passed_ += block.size();
    next_.Put(block);
    return;
  }
  const auto at = static_cast<std::size_t>(static_cast<const char*>(zero) - block.data());
  const std::uint64_t offset = passed_ + at;
  cut_ = true;
  onCut_(offset);
  if (offset == 0) {
    block.assign(1, '\n');
  } else {
    block.resize(at);
  }
  if (!block.empty()) next_.Put(block);
}

void SubstituteZeroBytes(std::string& text, char substitute) {
  char* d = text.data();
  const std::size_t size = text.size();
  std::size_t pos = 0;
  while (const void* zero = std::memchr(d + pos, 0, size - pos)) {
    pos = static_cast<std::size_t>(static_cast<const char*>(zero) - d);
    d[pos++] = substitute;
  }
}

void OemStage::Put(std::string& block) {
  ToOemInPlace(block);
  next_.Put(block);
}

}  // namespace stream
