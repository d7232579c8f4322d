#include "app/whole_file_output.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/exceptions.h"
#include "platform/files.h"
#include "stream/byte_stages.h"
#include "stream/changed_lines.h"
#include "stream/output_stage.h"
#include "text/file_stream.h"
#include "text/text_stream.h"

// The result's bytes on their way out.
class OutputTarget {
 public:
  virtual ~OutputTarget() = default;
  virtual void Write(std::string_view bytes) = 0;
  virtual void Commit() = 0;
  // The result is not to be kept: a file is not written (its replacement goes
  // with the target object); what went to standard output is out already.
  virtual void Discard() {}
};

namespace {

// Pieces of the input read back to compare with the result.
constexpr std::size_t kComparePiece = std::size_t{1} << 20;

// A failed write to standard output ends the run as a failure (with the
// system's reason), not as a shortened success.
void RaisePendingWriteFailure() {
  if (PendingStreamError() != 0) CheckStreamError();
}

class StandardOutputTarget : public OutputTarget {
 public:
  void Write(std::string_view bytes) override {
    WriteTextBytes(OutputText(), bytes);
    RaisePendingWriteFailure();
  }
  void Commit() override {
    FlushText(OutputText());
    RaisePendingWriteFailure();
  }
  void Discard() override { Commit(); }
};

// The bytes a run would write, handed to the context's capture and written
// nowhere.
class CaptureTarget : public OutputTarget {
 public:
  explicit CaptureTarget(const std::function<void(std::string_view)>& capture)
      : capture_(capture) {}
  void Write(std::string_view bytes) override { capture_(bytes); }
  void Commit() override {}

 private:
  const std::function<void(std::string_view)>& capture_;
};

// Standard output's bytes held for a run over several files, emitted in order.
class HandleTarget : public OutputTarget {
 public:
  explicit HandleTarget(platform::FileHandle handle) : handle_(handle) {}
  void Write(std::string_view bytes) override {
    std::size_t written = 0;
    if (platform::WriteBytes(handle_, bytes.data(), bytes.size(), written) != 0 ||
        written != bytes.size()) {
      throw EWriteError("Stream write error");
    }
  }
  void Commit() override {}

 private:
  platform::FileHandle handle_;
};

// A new file for the target, its folder's flush left to the caller when asked.
std::unique_ptr<TFileStream> CreateTarget(const std::string& name, bool folderFlushLeftToCaller) {
  std::unique_ptr<TFileStream> file = FileStreamCreate(name);
  if (folderFlushLeftToCaller) file->LeaveFolderFlushToCaller();
  return file;
}

class FileTarget : public OutputTarget {
 public:
  FileTarget(const std::string& name, bool folderFlushLeftToCaller)
      : file_(CreateTarget(name, folderFlushLeftToCaller)) {}
  void Write(std::string_view bytes) override { WriteAll(*file_, bytes); }
  void Commit() override { file_->Commit(); }

 private:
  std::unique_ptr<TFileStream> file_;
};

// With --keep-eol a result written over its input replaces it only when it
// differs: the result is compared with the input as it comes, and the
// replacement is begun at the first difference, the equal part copied from the
// input. A result equal to the input leaves the file as it was.
class FileTargetWhenChanged : public OutputTarget {
 public:
  FileTargetWhenChanged(const std::string& name, bool folderFlushLeftToCaller)
      : name_(name),
        original_(FileStreamOpen(name)),
        folderFlushLeftToCaller_(folderFlushLeftToCaller) {}

  void Write(std::string_view bytes) override {
    if (!replacement_ && !SameAsOriginal(bytes)) BeginReplacement();
    if (replacement_) WriteAll(*replacement_, bytes);
  }
  void Commit() override {
    if (!replacement_) {
      char extra = 0;
      if (original_->Read(&extra, 1) == 0) return;  // equal: nothing to write
      BeginReplacement();
    }
    replacement_->Commit();
  }

 private:
  bool SameAsOriginal(std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t piece = std::min(bytes.size(), kComparePiece);
      scratch_.resize(piece);
      const std::size_t got = original_->Read(scratch_.data(), piece);
      if (original_->ReadFailure() != 0) throw EReadError("Stream read error");
      if (got != piece || std::memcmp(scratch_.data(), bytes.data(), piece) != 0) return false;
      same_ += piece;
      bytes.remove_prefix(piece);
    }
    return true;
  }

  void BeginReplacement() {
    replacement_ = CreateTarget(name_, folderFlushLeftToCaller_);
    original_->SeekTo(0);
    for (std::uint64_t left = same_; left > 0;) {
      const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, kComparePiece));
      scratch_.resize(piece);
      if (original_->Read(scratch_.data(), piece) != piece) throw EReadError("Stream read error");
      WriteAll(*replacement_, scratch_);
      left -= piece;
    }
    original_.reset();
  }

  const std::string name_;
  std::unique_ptr<TFileStream> original_;
  std::unique_ptr<TFileStream> replacement_;
  const bool folderFlushLeftToCaller_;
  std::uint64_t same_ = 0;  // bytes of the result equal to the input's so far
  std::string scratch_;
};

std::unique_ptr<OutputTarget> MakeTarget(const RunContext& context) {
  if (context.capture) return std::make_unique<CaptureTarget>(context.capture);
  const std::string& name = context.WholeFileTarget();
  if (name.empty() && context.outputHandle != platform::kInvalidHandle) {
    return std::make_unique<HandleTarget>(context.outputHandle);
  }
  if (name.empty()) return std::make_unique<StandardOutputTarget>();
  if (LineEndsFromInput(context) && ReplacesInput(context)) {
    return std::make_unique<FileTargetWhenChanged>(name, context.folderFlushLeftToCaller);
  }
  return std::make_unique<FileTarget>(name, context.folderFlushLeftToCaller);
}

// A byte 0 can reach the processed text only through a pair's replacement, an
// expression, or -0=x00.
bool ProcessedTextMayHoldZero(const RunContext& context) {
  if (context.searchKind == SearchKind::Expression) return true;
  if (context.zeroBytesAllowed && context.zeroSubstitute == 0) return true;
  return std::any_of(context.pairs.begin(), context.pairs.end(), [](const SearchReplacePair& p) {
    return p.replace.find('\0') != std::string::npos;
  });
}

std::string OffsetText(std::size_t offset) {
  return "byte 0 at offset " + std::to_string(offset);
}

[[noreturn]] void RefuseCutInProcessedText(const RunContext& context, std::size_t offset) {
  throw ERefusal("Error: " + OffsetText(offset) + " of the processed text of \"" +
                 context.inputFile +
                 "\": the rest of the text would be dropped, so the file is not written");
}

}  // namespace

bool ReplacesInput(const RunContext& context) {
  const std::string& target = context.WholeFileTarget();
  if (ReadsStandardInput(context)) return false;
  return !target.empty() && platform::SameFile(context.inputFile, target);
}

void CheckCutInFile(const RunContext& context, std::size_t offset) {
  if (!ReplacesInput(context)) return;
  throw ERefusal("Error: " + OffsetText(offset) + " of \"" + context.inputFile +
                 "\": the rest of the text would be dropped, so the file is not written; "
                 "-0 keeps it");
}

bool LineEndsFromInput(const RunContext& context) {
  return context.keepLineEnds && !context.unixNewlines;
}

void ChooseLineEnd(const RunContext& context, stream::LineEndStyle& style) {
  if (LineEndsFromInput(context)) return;
  style.Set(context.unixNewlines ? "\n" : "\r\n");
}

WholeFileOutput::WholeFileOutput(const RunContext& context, const stream::LineEndStyle& lineEnd,
                                 std::function<void()> inputNoLongerNeeded)
    : context_(context), target_(MakeTarget(context)) {
  stream::OutputFrame frame;
  frame.header = context.header;
  frame.footer = context.footer;
  frame.lastLineEndAsInput = LineEndsFromInput(context);
  // To standard output the text goes as one line, so one more line end follows;
  // with the input's own line ends the output is exactly the text.
  // Captured bytes are those a file would get.
  if (context.WholeFileTarget().empty() && !frame.lastLineEndAsInput && !context.capture) {
    frame.trailer = "\r\n";
  }
  OutputTarget* target = target_.get();
  end_ = std::make_unique<stream::OutputStage>(
      [target](std::string_view bytes) { target->Write(bytes); }, lineEnd, std::move(frame));
  chain_ = std::make_unique<stream::StageChain>(*end_);
  if (context.countLines) {
    input_ = std::make_unique<InputReadAgain>(context.inputFile);
    changedLines_ = &chain_->Prepend<stream::ChangedLineCounter>(
        [input = input_.get()](char* buffer, std::size_t size) {
          return input->Read(buffer, size);
        },
        !context.zeroBytesAllowed);
  }
  chain_->Prepend<stream::LineEndStage>(lineEnd);
  if (!ProcessedTextMayHoldZero(context)) return;
  refuseCut_ = ReplacesInput(context);
  chain_->Prepend<stream::ZeroCutStage>(
      [this, stopInput = std::move(inputNoLongerNeeded)](std::uint64_t offset) {
        processedCut_ = static_cast<std::size_t>(offset);
        stopInput();
      });
}

WholeFileOutput::~WholeFileOutput() = default;

void WholeFileOutput::Commit() {
  input_.reset();
  if (refuseCut_ && processedCut_ != kNotCut) RefuseCutInProcessedText(context_, processedCut_);
  target_->Commit();
}

void WholeFileOutput::Discard() {
  input_.reset();
  target_->Discard();
  target_.reset();
}

void WholeFileOutput::Finish(bool matched) {
  if (context_.mustMatch && !matched) {
    Discard();
  } else {
    Commit();
  }
}

std::uint64_t WholeFileOutput::LinesChanged() const {
  return changedLines_ ? changedLines_->Changed() : 0;
}
