#include "stream/block_reader.h"

#include "platform/byte_buffer.h"

namespace stream {

std::size_t BlockCapacity(std::size_t blockSize) {
  return blockSize + blockSize / 8 + 64;
}

void ReadInBlocks(TFileStream& input, std::size_t blockSize, Stage& head,
                  const std::function<bool()>& wanted) {
  std::string block;
  while (wanted()) {
    // A buffer handed back by the chain may be one of its own, of any size.
    if (block.capacity() < BlockCapacity(blockSize)) {
      platform::ReserveBytes(block, BlockCapacity(blockSize));
    }
    block.resize(blockSize);
    const std::size_t got = input.Read(block.data(), blockSize);
    if (input.ReadFailure() != 0) throw EReadError("Stream read error");
    if (got == 0) break;
    block.resize(got);
    head.Put(block);
  }
  head.Finish();
}

}  // namespace stream
