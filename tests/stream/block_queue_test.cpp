// Two threads over one chain: blocks arrive in order and whole, a failure on
// either side ends both without a hang, and the failure is the one raised.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "stage_feed.h"
#include "stream/block_queue.h"

namespace {

using stream_test::Collector;

std::string Numbers(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + ",";
  return text;
}

TEST(BlockQueueTest, EveryBlockArrivesInOrderOnTheOtherThread) {
  const std::string text = Numbers(3000);
  for (std::size_t depth : {std::size_t{1}, std::size_t{4}}) {
    for (std::size_t blockSize : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
      Collector out;
      stream::RunOnTwoThreads(
          [&](stream::Stage& queue) { stream_test::FeedInBlocks(queue, text, blockSize); }, out,
          depth);
      EXPECT_EQ(out.bytes, text);
      EXPECT_EQ(out.finished, 1);
    }
  }
}

TEST(BlockQueueTest, AFailureOfTheProducerIsRaisedOnTheCallingThread) {
  Collector out;
  EXPECT_THROW(stream::RunOnTwoThreads(
                   [](stream::Stage& queue) {
                     std::string block = "first";
                     queue.Put(block);
                     throw std::runtime_error("read failed");
                   },
                   out, 2),
               std::runtime_error);
  EXPECT_EQ(out.finished, 0);
}

// The consumer fails while the producer still has much to give: the producer,
// waiting for room, is stopped, and the consumer's failure is the one raised.
TEST(BlockQueueTest, AFailureOfTheConsumerStopsTheProducer) {
  class FailingAtThird : public stream::Stage {
   public:
    void Put(std::string&) override {
      if (++puts == 3) throw std::logic_error("write failed");
    }
    void Finish() override {}
    int puts = 0;
  };
  FailingAtThird out;
  int produced = 0;
  EXPECT_THROW(stream::RunOnTwoThreads(
                   [&](stream::Stage& queue) {
                     for (;;) {
                       std::string block = "block";
                       queue.Put(block);
                       ++produced;
                     }
                   },
                   out, 2),
               std::logic_error);
  EXPECT_EQ(out.puts, 3);
  EXPECT_LE(produced, 3 + 2 + 1);
}

}  // namespace
