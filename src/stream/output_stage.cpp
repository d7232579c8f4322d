#include "stream/output_stage.h"

namespace stream {

namespace {

// The longest line end: this many bytes are held back when the last one may go.
constexpr std::size_t kTailSize = 2;

}  // namespace

void PieceWriter::Put(std::string_view bytes) {
  if (bytes.empty()) return;
  if (bytes.size() >= kDirectPiece) {
    Flush();
    sink_(bytes);
    return;
  }
  if (staging_.size() + bytes.size() > kStagingSize) Flush();
  if (staging_.capacity() < kStagingSize) staging_.reserve(kStagingSize);
  staging_.append(bytes);
}

void PieceWriter::Flush() {
  if (staging_.empty()) return;
  sink_(staging_);
  staging_.clear();
}

void OutputStage::Begin() {
  if (begun_) return;
  begun_ = true;
  if (frame_.header.empty()) return;
  Emit(frame_.header);
  Emit(lineEnd_.LineEnd());
}

void OutputStage::Emit(std::string_view bytes) {
  if (!frame_.lastLineEndAsInput) {
    out_.Put(bytes);
    return;
  }
  if (bytes.size() >= kTailSize) {
    out_.Put(tail_);
    out_.Put(bytes.substr(0, bytes.size() - kTailSize));
    tail_.assign(bytes.substr(bytes.size() - kTailSize));
    return;
  }
  tail_.append(bytes);
  if (tail_.size() > kTailSize) {
    out_.Put(std::string_view(tail_).substr(0, tail_.size() - kTailSize));
    tail_.erase(0, tail_.size() - kTailSize);
  }
}

void OutputStage::Put(std::string& block) {
  Begin();
  Emit(block);
}

void OutputStage::Finish() {
  Begin();
  if (!frame_.footer.empty()) {
    Emit(frame_.footer);
    Emit(lineEnd_.LineEnd());
  }
  if (frame_.lastLineEndAsInput) {
    std::string_view tail = tail_;
    if (!lineEnd_.InputEndsWithLineEnd() && lineEnd_.Known() &&
        tail.ends_with(lineEnd_.LineEnd())) {
      tail.remove_suffix(lineEnd_.LineEnd().size());
    }
    out_.Put(tail);
    tail_.clear();
  }
  out_.Put(frame_.trailer);
  out_.Flush();
}

}  // namespace stream
