// Two threads for one chain of stages: the stages before the queue run on a
// second thread (reading, the pairs), the stages after it on the calling thread
// (line ends, writing), with a few blocks in flight between them. Buffers go back
// and forth instead of being copied, so the number of buffers stays fixed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "stream/stage.h"

namespace stream {

class BlockQueue : public Stage {
 public:
  explicit BlockQueue(std::size_t depth) : depth_(depth) {}

  // Producer side. Put waits for room and gives back an empty buffer; once the
  // consumer stopped, it raises (the producer's work is no longer wanted).
  void Put(std::string& block) override;
  void Finish() override;
  void Fail(std::exception_ptr failure);

  // Consumer side: every block in order into next, then next's Finish. A failure
  // of the producer is raised here.
  void Drain(Stage& next);
  // Wakes a waiting producer and makes its next Put raise.
  void Stop();

 private:
  bool Pop(std::string& block);

  const std::size_t depth_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> blocks_;
  std::vector<std::string> spare_;
  bool finished_ = false;
  bool stopped_ = false;
  std::exception_ptr failure_;
};

// Runs produce on a second thread, its chain ending in the queue it is given,
// while the calling thread drains the queue into consumer. A failure on either
// side stops both and is raised here (the consumer's own first).
void RunOnTwoThreads(const std::function<void(Stage& queue)>& produce, Stage& consumer,
                     std::size_t depth);

}  // namespace stream
