#include "text/file_stream.h"

#include <algorithm>
#include <utility>

namespace {

// Large reads are worth a huge-page hint; small ones are not.
constexpr std::size_t kHugePageHintSize = std::size_t{4} << 20;

std::string FileMessage(const char* prefix, const std::string& fileName, platform::ErrorCode code) {
  return std::string(prefix) + " \"" + platform::FullPathOf(fileName) + "\". " +
         platform::SystemErrorText(code);
}

// TFileStream's constructor is protected; a local subclass lets make_unique reach it.
class OpenedFileStream : public TFileStream {
 public:
  OpenedFileStream(platform::ReplacementFile file, bool replacing) {
    file_ = std::move(file);
    replacing_ = replacing;
  }
};

}  // namespace

TFileStream::~TFileStream() {
  if (file_.handle == platform::kInvalidHandle || borrowed_) return;
  if (replacing_ && !committed_) {
    platform::AbandonReplacement(file_);
  } else {
    platform::CloseFileHandle(file_.handle);
  }
  file_.handle = platform::kInvalidHandle;
}

std::size_t TFileStream::Read(char* buffer, std::size_t count) {
  std::size_t total = 0;
  while (total < count) {
    std::size_t got = 0;
    const platform::ErrorCode code =
        platform::ReadBytes(file_.handle, buffer + total, count - total, got);
    if (code != 0) {
      readFailure_ = code;
      break;
    }
    if (got == 0) break;  // the end of the data
    total += got;
  }
  return total;
}

std::size_t TFileStream::Write(const char* data, std::size_t count) {
  std::size_t written = 0;
  platform::WriteBytes(file_.handle, data, count, written);
  return written;
}

std::uint64_t TFileStream::Size() {
  std::uint64_t size = 0;
  if (platform::FileSizeOf(file_.handle, size) != 0) return 0;
  return size;
}

std::uint64_t TFileStream::Position() {
  std::uint64_t position = 0;
  if (platform::SeekTo(file_.handle, 0, platform::SeekOrigin::Current, position) != 0) return 0;
  return position;
}

void TFileStream::SeekTo(std::uint64_t position) {
  std::uint64_t reached = 0;
  platform::SeekTo(file_.handle, static_cast<std::int64_t>(position), platform::SeekOrigin::Begin,
                   reached);
}

void TFileStream::Commit() {
  if (committed_ || file_.handle == platform::kInvalidHandle) return;
  committed_ = true;
  if (borrowed_) return;
  if (!replacing_) {
    platform::CloseFileHandle(file_.handle);
    file_.handle = platform::kInvalidHandle;
    return;
  }
  const platform::ErrorCode code = platform::CommitReplacement(file_);
  // The handle is closed either way; only the temporary file may remain.
  file_.handle = platform::kInvalidHandle;
  if (code != 0) {
    const std::string keptBackup = file_.keptBackup;
    platform::AbandonReplacement(file_);
    throw EWriteError(WithKeptBackup("Stream write error", keptBackup));
  }
}

std::unique_ptr<TFileStream> FileStreamOpen(const std::string& fileName) {
  platform::ReplacementFile file;
  const platform::ErrorCode code = platform::OpenForReading(fileName, file.handle);
  if (code != 0) throw EFOpenError(FileMessage("Cannot open file", fileName, code));
  return std::make_unique<OpenedFileStream>(std::move(file), false);
}

std::unique_ptr<TFileStream> FileStreamOnStandardInput() {
  platform::ReplacementFile file;
  file.handle = platform::StandardInput();
  if (file.handle == platform::kInvalidHandle) {
    throw EFOpenError("Cannot open file \"-\". " +
                      platform::SystemErrorText(platform::kFileNotFound));
  }
  std::unique_ptr<TFileStream> stream = std::make_unique<OpenedFileStream>(std::move(file), false);
  stream->borrowed_ = true;
  return stream;
}

std::unique_ptr<TFileStream> FileStreamCreate(const std::string& fileName) {
  platform::ReplacementFile file;
  const platform::ErrorCode code = platform::BeginReplacement(fileName, file);
  if (code != 0) throw EFCreateError(FileMessage("Cannot create file", fileName, code));
  return std::make_unique<OpenedFileStream>(std::move(file), true);
}

std::string WithKeptBackup(std::string message, const std::string& keptBackup) {
  if (keptBackup.empty()) return message;
  return message + "; the original content is kept in \"" + keptBackup + "\"";
}

void WriteAll(TFileStream& stream, std::string_view bytes) {
  if (bytes.empty()) return;
  if (stream.Write(bytes.data(), bytes.size()) != bytes.size()) {
    throw EWriteError("Stream write error");
  }
}

TFileBytes ReadRemaining(TFileStream& stream) {
  const std::uint64_t size = stream.Size();
  const std::uint64_t position = stream.Position();
  TFileBytes bytes;
  const std::size_t wanted = size > position ? static_cast<std::size_t>(size - position) : 0;
  if (wanted == 0) return bytes;
  bytes.data.reset(new char[wanted]);
  if (wanted >= kHugePageHintSize) platform::AdviseHugePages(bytes.data.get(), wanted);
  bytes.size = stream.Read(bytes.data.get(), wanted);
  if (stream.ReadFailure() != 0) throw EReadError("Stream read error");
  return bytes;
}
