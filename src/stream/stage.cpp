#include "stream/stage.h"

#include <algorithm>

namespace stream {

void BlockGatherer::Add(std::string_view piece) {
  while (!piece.empty()) {
    if (block_.capacity() < blockSize_) block_.reserve(blockSize_);
    const std::size_t room = blockSize_ > block_.size() ? blockSize_ - block_.size() : 0;
    const std::size_t taken = std::min(room, piece.size());
    block_.append(piece.data(), taken);
    piece.remove_prefix(taken);
    if (block_.size() >= blockSize_) Flush();
  }
}

void BlockGatherer::Flush() {
  if (block_.empty()) return;
  next_.Put(block_);
  // The next stage may have swapped in a buffer of its own; its content is spent.
  block_.clear();
}

}  // namespace stream
