// Stages that look at single bytes: the byte 0 that ends a text, the substitute
// for byte 0, and the OEM conversion of -dos.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "stream/stage.h"

namespace stream {

// The first byte 0 ends the text; one at the very start leaves one empty line (a
// lone LF stands for it). Everything after it is dropped.
class ZeroCutStage : public Stage {
 public:
  // Told the offset of the byte 0 in the text when it is met; it may raise to stop
  // the run there.
  using CutHandler = std::function<void(std::uint64_t offset)>;

  ZeroCutStage(Stage& next, CutHandler onCut) : next_(next), onCut_(std::move(onCut)) {}

  void Put(std::string& block) override;
  void Finish() override { next_.Finish(); }

  bool Cut() const { return cut_; }

 private:
  Stage& next_;
  CutHandler onCut_;
  std::uint64_t passed_ = 0;
  bool cut_ = false;
};

// Every byte 0 becomes the substitute byte.
void SubstituteZeroBytes(std::string& text, char substitute);

class ZeroSubstituteStage : public Stage {
 public:
  ZeroSubstituteStage(Stage& next, char substitute) : next_(next), substitute_(substitute) {}
  void Put(std::string& block) override {
    SubstituteZeroBytes(block, substitute_);
    next_.Put(block);
  }
  void Finish() override { next_.Finish(); }

 private:
  Stage& next_;
  const char substitute_;
};

class OemStage : public Stage {
 public:
  explicit OemStage(Stage& next) : next_(next) {}
  void Put(std::string& block) override;
  void Finish() override { next_.Finish(); }

 private:
  Stage& next_;
};

}  // namespace stream
