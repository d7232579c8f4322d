#include "stream/block_queue.h"

#include <thread>
#include <utility>

namespace stream {

namespace {

// Raised in the producer when the consumer no longer wants its blocks.
struct ProducerStopped {};

}  // namespace

void BlockQueue::Put(std::string& block) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || blocks_.size() < depth_; });
  if (stopped_) throw ProducerStopped();
  blocks_.push_back(std::move(block));
  if (spare_.empty()) {
    block = std::string();
  } else {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  changed_.notify_all();
}

void BlockQueue::Finish() {
  std::lock_guard lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

void BlockQueue::Fail(std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  failure_ = std::move(failure);
  finished_ = true;
  changed_.notify_all();
}

void BlockQueue::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

bool BlockQueue::Pop(std::string& block) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return finished_ || !blocks_.empty(); });
  if (failure_) std::rethrow_exception(failure_);
  if (blocks_.empty()) return false;
  // The consumer's last buffer goes back for the producer.
  if (block.capacity() > 0 && spare_.size() < depth_ + 1) spare_.push_back(std::move(block));
  block = std::move(blocks_.front());
  blocks_.pop_front();
  changed_.notify_all();
  return true;
}

void BlockQueue::Drain(Stage& next) {
  std::string block;
  while (Pop(block)) next.Put(block);
  next.Finish();
}

void RunOnTwoThreads(const std::function<void(Stage& queue)>& produce, Stage& consumer,
                     std::size_t depth) {
  BlockQueue queue(depth);
  std::thread producer([&] {
    try {
      produce(queue);
      queue.Finish();
    } catch (const ProducerStopped&) {
      // The consumer ended the run; its own reason is the one reported.
    } catch (...) {
      queue.Fail(std::current_exception());
    }
  });
  try {
    queue.Drain(consumer);
  } catch (...) {
    queue.Stop();
    producer.join();
    throw;
  }
  producer.join();
}

}  // namespace stream
