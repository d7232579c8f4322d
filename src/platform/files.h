// Files, standard handles and file names. Error codes follow the I/O failure table:
// 0 success, 2 file not found, 3 invalid name or path, 4 too many open files,
// 5 access denied, 101 disk full; any other platform code as itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidHandle = -1;
using ErrorCode = int32_t;
// The I/O failure table's codes, the same on every platform. Windows' own codes
// for the first four are these numbers; POSIX errno values are mapped onto them.
constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;  // also an invalid file name
constexpr ErrorCode kTooManyOpenFiles = 4;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kReadBeyondEnd = 100;
constexpr ErrorCode kDiskFull = 101;
constexpr ErrorCode kInvalidNumericInput = 106;

enum class HandleType { Unknown, Disk, Character, Pipe };
enum class SeekOrigin { Begin, Current, End };

// Opening. Other processes may read an opened file but not write it (where the
// platform has sharing modes). Each returns 0 and sets handle, or an error code.
ErrorCode OpenForReading(const std::string& name, FileHandle& handle);    // must exist
ErrorCode CreateForWriting(const std::string& name, FileHandle& handle);  // created or truncated
ErrorCode OpenForUpdate(const std::string& name, FileHandle& handle);     // read+write, must exist

// Reads up to size bytes; bytesRead 0 with result 0 is the end of the data (a pipe
// whose writing end was closed counts as the end, not as a failure).
ErrorCode ReadBytes(FileHandle handle, char* buffer, std::size_t size, std::size_t& bytesRead);
// Writes all bytes unless a failure stops it; bytesWritten says how many went out.
ErrorCode WriteBytes(FileHandle handle, const char* data, std::size_t size,
                     std::size_t& bytesWritten);
ErrorCode CloseFileHandle(FileHandle handle);
ErrorCode FileSizeOf(FileHandle handle, std::uint64_t& size);
ErrorCode SeekTo(FileHandle handle, std::int64_t offset, SeekOrigin origin,
                 std::uint64_t& newPosition);
ErrorCode TruncateAtPosition(FileHandle handle);  // the file ends at the current position

FileHandle StandardInput();
FileHandle StandardOutput();
FileHandle StandardError();
HandleType TypeOfHandle(FileHandle handle);

// The platform's message for an error code, without trailing full stops or blanks.
std::string SystemErrorText(ErrorCode code);

// Absolute name; "." and ".." resolved by text, links not followed; empty when the
// name cannot be expanded.
std::string FullPathOf(std::string_view name);
// True when both names lead to one existing file (the same path, a hard link or a
// symbolic link); false when either cannot be reached.
bool SameFile(const std::string& a, const std::string& b);
// True when the name (which may hold * and ?) finds an entry and the first entry
// found is not a directory.
bool RegularFileExists(std::string_view name);

// Whether the name holds a wildcard: "*" (any run of bytes) or "?" (one byte).
bool HasWildcard(std::string_view name);

// What a folder entry is. A link to a folder counts as Other: a walk through a
// folder tree never follows it. A link to a file is the file.
enum class EntryKind { File, Folder, Other };
struct FolderEntry {
  std::string name;  // the name in the folder, without the folder
  EntryKind kind = EntryKind::Other;
};
// The folder's entries whose names match the pattern ("*" for all; case
// sensitive on POSIX, as the system's own search matches on Windows), "." and
// ".." left out, in no particular order. An empty folder means the current one.
ErrorCode ListFolder(const std::string& folder, std::string_view pattern,
                     std::vector<FolderEntry>& entries);

// A file for bytes held for a moment (one file's output while others run): read
// and writable, gone once closed, and never seen under a name by anyone else.
ErrorCode CreateScratchFile(FileHandle& handle);

// A key that two names share exactly when they lead to one file (device and
// index); empty when the name leads to nothing.
std::string FileIdentityKey(const std::string& name);

// Writing a file so that neither a failure nor a kill leaves it truncated,
// half-written or mixed. The bytes go to a new file in the target's folder, which
// no one else can read while it is written, that has no name while it can go
// without one (and is removed on SIGINT/SIGTERM/SIGHUP, Ctrl-C, Ctrl-Break or a
// console close otherwise). On commit it is flushed to the disk and renamed over the
// target, which keeps its owner, mode, extended attributes and ACL. A target whose
// identity a new file cannot take over (more links than one, an attribute that
// cannot be copied) is rewritten in place instead: a backup copy of it beside it
// first, flushed to the disk, then the new bytes over it, then the backup goes; a
// failure restores it from the backup, and a killed run leaves the backup, named
// ".<name>.quorve-backup-<process id>". A symbolic link stays and the file it points
// to is replaced. Targets that are not regular files (devices, pipes, FIFOs) and
// names of the process's own descriptors (/dev/stdout, /dev/fd/N) are written
// directly. A folder that takes no new file fails the begin: the target is never
// truncated to be rewritten.
struct ReplacementFile {
  FileHandle handle = kInvalidHandle;  // where the bytes go; also readable
  std::string targetPath;              // the file that will be replaced (a link resolved)
  std::string tempPath;                // the new file's name while it has one
  bool direct = false;                 // written straight to the target
  std::string keptBackup;              // after a failed commit: a backup that still holds the
                                       // original, which could not be put back
  int cleanupSlot = -1;                // the new file's name is removed on an interruption
  // Set after the begin: the rename is made durable by the caller's FlushFoldersOf,
  // once for many files of one folder, instead of at the commit.
  bool folderFlushedLater = false;
};
ErrorCode BeginReplacement(const std::string& target, ReplacementFile& file);
ErrorCode CommitReplacement(ReplacementFile& file);  // flushes, then replaces; closes
void AbandonReplacement(ReplacementFile& file);      // closes and removes the new file

// Makes new names durable in the folders of the files, and in those of the files
// their links lead to, where a replacement renamed them (POSIX: one flush per
// folder; Windows makes a rename durable itself).
void FlushFoldersOf(const std::vector<std::string>& files);

// Makes the bytes written through the handle durable (fsync, FlushFileBuffers).
ErrorCode FlushToDisk(FileHandle handle);

// An advisory lock on an existing regular file, held from before the file is read
// until it has been replaced, so that two runs on one file take turns and the
// second reads what the first wrote. Taking it waits for the holder; once held, the
// name is checked to still name the locked file (a holder that replaced the file
// leaves the lock on the old one) and the new file is locked instead. A name that
// names no regular file locks nothing. whileWaiting (when given) is called once
// before a wait for another holder. Released when the object goes.
class TargetLock {
 public:
  TargetLock() = default;
  explicit TargetLock(const std::string& name, const std::function<void()>& whileWaiting = {});
  ~TargetLock();
  TargetLock(TargetLock&& other) noexcept;
  TargetLock& operator=(TargetLock&& other) noexcept;
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;

  bool Held() const { return held_ != kInvalidHandle; }

 private:
  void Release() noexcept;
  FileHandle held_ = kInvalidHandle;  // a descriptor of the file, or a lock object
};

// Asks for huge pages behind a large buffer that is about to be filled (a hint only).
void AdviseHugePages(void* address, std::size_t size);

}  // namespace platform
