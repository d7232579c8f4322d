// The block pipeline that carries a text too large to hold through whole-file
// mode. The text passes through a chain of stages in blocks of a few MiB; each
// stage changes what it must and hands its result on to the next. A stage that
// must see past a block's end to decide (a search that may go on in the next
// block, a CR that may be followed by an LF) holds back those few bytes and puts
// them in front of the next block, so every stage gives the same bytes whatever
// the block boundaries are, and memory stays bounded by the block size, not by
// the text. Blocks are reused buffers: a stage works in the block's own buffer
// where it can, or hands on a buffer of its own.
//
// Layering: above faststrings (the search) and text (file streams); the processing
// mode in app/ assembles the chain.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace stream {

// Receives output pieces; a piece is only valid during the call.
using ByteSink = std::function<void(std::string_view)>;

class Stage {
 public:
  Stage() = default;
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;
  virtual ~Stage() = default;

  // The next bytes of the text. The stage may change them in place, grow them or
  // swap the buffer for one of its own; when it returns, the caller owns whatever
  // buffer block then holds, its content undefined.
  virtual void Put(std::string& block) = 0;
  // The end of the text: passes on what was held back, then finishes the next stage.
  virtual void Finish() = 0;
};

// Gathers pieces (views) into blocks of about blockSize bytes for a stage, for a
// producer whose output is not a block of its own (a result that grows, the
// pieces of a replace loop).
class BlockGatherer {
 public:
  BlockGatherer(Stage& next, std::size_t blockSize) : next_(next), blockSize_(blockSize) {}

  void Add(std::string_view piece);
  // Hands on what was gathered (if anything) without waiting for a full block.
  void Flush();

 private:
  Stage& next_;
  const std::size_t blockSize_;
  std::string block_;
};

// Stages built from the end of a chain towards its start, each handing on to the
// one built before it; they live as long as the chain.
class StageChain {
 public:
  explicit StageChain(Stage& end) : head_(&end) {}

  // A new first stage; its constructor takes the next stage first.
  template <class S, class... Args>
  S& Prepend(Args&&... args) {
    auto stage = std::make_unique<S>(*head_, std::forward<Args>(args)...);
    S& added = *stage;
    head_ = stage.get();
    stages_.push_back(std::move(stage));
    return added;
  }
  Stage& Head() const { return *head_; }

 private:
  Stage* head_;
  std::vector<std::unique_ptr<Stage>> stages_;
};

// Passes blocks on while open is set; once it is cleared (from any thread) the
// rest of the text is dropped.
class GateStage : public Stage {
 public:
  GateStage(Stage& next, const std::atomic<bool>& open) : next_(next), open_(open) {}
  void Put(std::string& block) override {
    if (open_.load(std::memory_order_relaxed)) next_.Put(block);
  }
  void Finish() override { next_.Finish(); }

 private:
  Stage& next_;
  const std::atomic<bool>& open_;
};

// A chain's end that passes every block to a sink as it is.
class SinkStage : public Stage {
 public:
  explicit SinkStage(ByteSink sink) : sink_(std::move(sink)) {}
  void Put(std::string& block) override { sink_(block); }
  void Finish() override {}

 private:
  ByteSink sink_;
};

}  // namespace stream
