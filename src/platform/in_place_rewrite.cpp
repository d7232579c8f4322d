#include "platform/in_place_rewrite.h"

#include <memory>

namespace platform {

namespace {

constexpr std::size_t kCopyPiece = std::size_t{1} << 20;
constexpr int kBackupNameAttempts = 100;

// Every byte of from (from its start) to the start of to, which then ends there.
ErrorCode CopyWhole(FileHandle from, FileHandle to) {
  std::uint64_t position = 0;
  if (ErrorCode code = SeekTo(from, 0, SeekOrigin::Begin, position)) return code;
  if (ErrorCode code = SeekTo(to, 0, SeekOrigin::Begin, position)) return code;
  const std::unique_ptr<char[]> piece(new char[kCopyPiece]);
  for (;;) {
    std::size_t got = 0;
    if (ErrorCode code = ReadBytes(from, piece.get(), kCopyPiece, got)) return code;
    if (got == 0) break;
    std::size_t written = 0;
    if (ErrorCode code = WriteBytes(to, piece.get(), got, written)) return code;
  }
  return TruncateAtPosition(to);
}

ErrorCode CreateBackup(const std::string& target, FileHandle original, std::string& name,
                       FileHandle& backup) {
  ErrorCode code = 0;
  for (int attempt = 0; attempt < kBackupNameAttempts; ++attempt) {
    name = in_place::BackupNameBeside(target, attempt);
    bool nameTaken = false;
    code = in_place::CreateBackupFile(name, original, backup, nameTaken);
    // An existing file of that name is an earlier run's backup: it stays.
    if (!nameTaken) return code;
  }
  return code;
}

// The complete, durable backup copy, or nothing.
ErrorCode MakeBackup(const std::string& target, FileHandle original, std::string& name,
                     FileHandle& backup) {
  ErrorCode code = CreateBackup(target, original, name, backup);
  if (code != 0) return code;
  code = CopyWhole(original, backup);
  if (code == 0) code = FlushToDisk(backup);
  if (code == 0) {
    in_place::FlushFolderOf(name);
    return 0;
  }
  CloseFileHandle(backup);
  in_place::RemoveFile(name);
  return code;
}

ErrorCode Overwrite(FileHandle from, FileHandle original) {
  ErrorCode code = CopyWhole(from, original);
  if (code == 0) code = FlushToDisk(original);
  return code;
}

}  // namespace

ErrorCode RewriteInPlace(const std::string& target, FileHandle newContent,
                         std::string& keptBackup) {
  keptBackup.clear();
  FileHandle original = kInvalidHandle;
  ErrorCode code = OpenForUpdate(target, original);
  if (code != 0) return code;
  std::string backupName;
  FileHandle backup = kInvalidHandle;
  code = MakeBackup(target, original, backupName, backup);
  if (code != 0) {
    CloseFileHandle(original);
    return code;
  }
  code = Overwrite(newContent, original);
  if (code != 0 && Overwrite(backup, original) != 0) keptBackup = backupName;
  CloseFileHandle(backup);
  CloseFileHandle(original);  // its bytes are on the disk already
  if (keptBackup.empty()) in_place::RemoveFile(backupName);
  return code;
}

}  // namespace platform
