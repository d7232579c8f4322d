#include "app/many_files.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "app/run_input.h"
#include "base/exceptions.h"
#include "console/console.h"
#include "platform/console.h"
#include "platform/process.h"
#include "regex/regexpr.h"
#include "runtime/process.h"
#include "text/conversions.h"
#include "text/file_stream.h"
#include "text/text_stream.h"

namespace {

// Files a thread may finish ahead of the oldest one not yet written out, per
// thread: enough to keep every thread busy, few enough that held outputs stay few.
constexpr std::size_t kAheadPerThread = 8;
constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

// A file name as standard error may show it.
std::string ShownName(const std::string& name) {
  return platform::TextForStream(platform::StandardError(), name);
}

// The current folder as full paths begin with it, its separator included.
std::string CurrentFolder() {
  std::string inside = platform::FullPathOf("x");
  inside.pop_back();
  return inside;
}

// A file's name as a diff header or a count shows it: below the current folder
// as a relative name (as the user would type it; patch takes it so), else whole.
std::string NameAsFound(const std::string& name, const std::string& currentFolder) {
  if (name.size() > currentFolder.size() &&
      name.compare(0, currentFolder.size(), currentFolder) == 0) {
    return name.substr(currentFolder.size());
  }
  return name;
}

// The report of the failure being handled; a stream failure still pending on this
// thread came first and is reported instead.
std::string ReportOfCurrentFailure() {
  const std::int32_t pending = TakePendingStreamError();
  try {
    throw;
  } catch (const Exception& failure) {
    if (pending != 0) return FailureReportText(EInOutError(IoErrorMessage(pending), pending));
    return FailureReportText(failure);
  } catch (const std::bad_alloc&) {
    return FailureReportText(EOutOfMemory());
  } catch (const std::exception& failure) {
    return FailureReportText(Exception(failure.what()));
  } catch (...) {
    return FailureReportText(Exception("Unknown failure"));
  }
}

// The one progress row, in place on the terminal while the files are processed.
void ShowProgress(std::size_t number, std::size_t count) {
  WriteInPlace("Processing file " + IntToDecimal(static_cast<std::int64_t>(number)) + " of " +
                   IntToDecimal(static_cast<std::int64_t>(count)),
               kStatusColour);
}

void ClearProgress() {
  WriteInPlace("", kStatusColour);
}

// A file whose start cannot be read is left to its run, which reports it.
bool FileLooksBinary(const std::string& name) {
  try {
    std::unique_ptr<TFileStream> file = FileStreamOpen(name);
    std::string start(kBinaryProbeSize, '\0');
    start.resize(file->Read(start.data(), start.size()));
    return LooksBinary(start);
  } catch (const Exception&) {
    return false;
  }
}

// What one file's run left for the thread that writes the results out.
struct FileResult {
  bool done = false;
  bool failed = false;
  bool skipped = false;
  FileOutcome outcome;
  std::string messages;                                    // for standard error
  platform::FileHandle output = platform::kInvalidHandle;  // its standard output, held

  ~FileResult() {
    if (output != platform::kInvalidHandle) platform::CloseFileHandle(output);
  }
};

// Where the collected outputs go.
class CollectedOutput {
 public:
  explicit CollectedOutput(const std::string& file) {
    if (!file.empty()) file_ = FileStreamCreate(file);
  }
  void Write(std::string_view bytes) {
    if (file_) {
      WriteAll(*file_, bytes);
      return;
    }
    WriteTextBytes(OutputText(), bytes);
    if (PendingStreamError() != 0) CheckStreamError();
  }
  // The file takes its place (standard output is flushed) after the last output.
  void Commit() {
    if (file_) {
      file_->Commit();
      return;
    }
    FlushText(OutputText());
    if (PendingStreamError() != 0) CheckStreamError();
  }

 private:
  std::unique_ptr<TFileStream> file_;
};

class ManyFilesRun {
 public:
  ManyFilesRun(const RunContext& base, const ManyFilesPlan& plan, const ModeRun& run)
      : base_(base),
        plan_(plan),
        run_(run),
        results_(plan.files.size()),
        currentFolder_(CurrentFolder()) {}

  ManyFilesResult Run();

 private:
  void Work();
  bool TakeNext(std::size_t& index);
  void RunOne(std::size_t index, FileResult& result);
  void WriteOut(std::size_t index, CollectedOutput* collected);
  void CopyHeldOutput(platform::FileHandle held, CollectedOutput& collected);
  void Stop();
  void FlushFolders();

  const RunContext& base_;
  const ManyFilesPlan& plan_;
  const ModeRun& run_;
  std::vector<FileResult> results_;
  const std::string currentFolder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;     // the next file a thread takes
  std::size_t written_ = 0;  // files whose results are out
  std::size_t ahead_ = 1;    // how far past written_ the threads may go
  bool stopping_ = false;
  std::string copyBuffer_;
};

bool ManyFilesRun::TakeNext(std::size_t& index) {
  std::unique_lock lock(mutex_);
  changed_.wait(
      lock, [this] { return stopping_ || next_ >= results_.size() || next_ < written_ + ahead_; });
  if (stopping_ || next_ >= results_.size()) return false;
  index = next_++;
  return true;
}

void ManyFilesRun::Work() {
  std::size_t index = 0;
  while (TakeNext(index)) {
    RunOne(index, results_[index]);
    {
      const std::lock_guard lock(mutex_);
      results_[index].done = true;
    }
    changed_.notify_all();
  }
  RegExprThreadEnd();
}

void ManyFilesRun::RunOne(std::size_t index, FileResult& result) {
  const std::string& name = plan_.files[index];
  RunContext context = base_;
  context.inputFile = name;
  context.oneOfMany = true;
  try {
    if (plan_.skipBinary && !ReadsStandardInput(context) && FileLooksBinary(name)) {
      result.skipped = true;
      result.messages = "Skipped binary file \"" + ShownName(name) +
                        "\" (a byte 0 in its first 64 KiB; -0 takes it as text)\r\n";
      return;
    }
    // Each folder is flushed once, after its files.
    context.folderFlushLeftToCaller = plan_.ownTargets;
    if (!plan_.ownTargets) {
      context.outputFile.clear();
      context.writeBack = false;
      const platform::ErrorCode code = platform::CreateScratchFile(result.output);
      if (code != 0) {
        throw EFCreateError("Cannot create a scratch file. " + platform::SystemErrorText(code));
      }
      context.outputHandle = result.output;
    }
    // Shown in diffs and counts as found, below the current folder where it is.
    context.inputName = NameAsFound(name, currentFolder_);
    result.outcome = run_(context);
    TakePendingStreamError();
  } catch (const EInputNotFound& failure) {
    result.failed = true;
    result.messages =
        platform::TextForStream(platform::StandardError(), failure.Message()) + "\r\n";
  } catch (...) {
    result.failed = true;
    std::string report = ReportOfCurrentFailure();
    // A refusal names the file already.
    if (report.find(name) == std::string::npos) {
      report = "Failed: \"" + ShownName(name) + "\"\r\n" + report;
    }
    result.messages = report;
  }
}

void ManyFilesRun::CopyHeldOutput(platform::FileHandle held, CollectedOutput& collected) {
  std::uint64_t position = 0;
  if (platform::SeekTo(held, 0, platform::SeekOrigin::Begin, position) != 0) {
    throw EReadError("Stream read error");
  }
  copyBuffer_.resize(kCopyPiece);
  for (;;) {
    std::size_t got = 0;
    if (platform::ReadBytes(held, copyBuffer_.data(), copyBuffer_.size(), got) != 0) {
      throw EReadError("Stream read error");
    }
    if (got == 0) return;
    collected.Write(std::string_view(copyBuffer_.data(), got));
  }
}

// The file's output (a failed file's part-output is left out, so the collected
// output holds only whole results), then its notices and reports.
void ManyFilesRun::WriteOut(std::size_t index, CollectedOutput* collected) {
  FileResult& result = results_[index];
  if (collected != nullptr && !result.failed && result.output != platform::kInvalidHandle) {
    CopyHeldOutput(result.output, *collected);
  }
  if (result.output != platform::kInvalidHandle) {
    platform::CloseFileHandle(result.output);
    result.output = platform::kInvalidHandle;
  }
  if (result.messages.empty()) return;
  if (collected != nullptr) FlushText(OutputText());
  platform::WriteStandardError(result.messages);
}

// The renames of the files written back (or beside their inputs) made durable,
// one flush per folder (the output files beside the inputs are in their folders).
void ManyFilesRun::FlushFolders() {
  if (plan_.ownTargets) platform::FlushFoldersOf(plan_.files);
}

void ManyFilesRun::Stop() {
  const std::lock_guard lock(mutex_);
  stopping_ = true;
}

ManyFilesResult ManyFilesRun::Run() {
  const std::size_t count = results_.size();
  const std::size_t threads =
      std::clamp<std::size_t>(plan_.jobs, 1, std::max<std::size_t>(count, 1));
  ahead_ = threads * kAheadPerThread;
  std::unique_ptr<CollectedOutput> collected;
  if (!plan_.ownTargets) collected = std::make_unique<CollectedOutput>(plan_.collectedFile);
  std::vector<std::thread> workers;
  bool allWell = true;
  try {
    for (std::size_t i = 0; i < threads; ++i) workers.emplace_back([this] { Work(); });
    for (std::size_t index = 0; index < count; ++index) {
      ShowProgress(index + 1, count);
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return results_[index].done; });
      }
      // The file's output and messages go where the row was (standard output may be
      // the same terminal).
      ClearProgress();
      WriteOut(index, collected.get());
      allWell = allWell && !results_[index].failed;
      {
        const std::lock_guard lock(mutex_);
        written_ = index + 1;
      }
      changed_.notify_all();
    }
    // Not one file came through: the collected file stays as it was.
    const bool anyWell = std::any_of(results_.begin(), results_.end(),
                                     [](const FileResult& result) { return !result.failed; });
    if (collected && anyWell) collected->Commit();
  } catch (...) {
    Stop();
    changed_.notify_all();
    for (std::thread& worker : workers) worker.join();
    FlushFolders();
    throw;
  }
  for (std::thread& worker : workers) worker.join();
  FlushFolders();
  ManyFilesResult outcome;
  outcome.allWell = allWell;
  for (FileResult& result : results_) {
    if (!result.failed && !result.skipped) outcome.outcomes.push_back(std::move(result.outcome));
  }
  return outcome;
}

}  // namespace

bool LooksBinary(std::string_view start) {
  if (start.empty()) return false;
  return std::memchr(start.data(), 0, std::min(start.size(), kBinaryProbeSize)) != nullptr;
}

ManyFilesResult RunManyFiles(const RunContext& base, const ManyFilesPlan& plan,
                             const ModeRun& run) {
  ManyFilesRun manyFiles(base, plan, run);
  return manyFiles.Run();
}
