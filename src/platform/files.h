// Files, standard handles and file names. Error codes follow the I/O failure table:
// 0 success, 2 file not found, 3 invalid name or path, 4 too many open files,
// 5 access denied, 101 disk full; any other platform code as itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// Writing a file so that a failure never leaves it truncated or half-written: the
// bytes go to a new file beside the target, which is renamed over the target on
// commit. An existing target keeps its permission bits; a symbolic link stays and
// the file it points to is replaced. Targets that are not regular files (devices,
// pipes) are written directly.
struct ReplacementFile {
  FileHandle handle = kInvalidHandle;
  std::string targetPath;  // the file that will be replaced (a link resolved)
  std::string tempPath;    // empty when writing directly
};
ErrorCode BeginReplacement(const std::string& target, ReplacementFile& file);
ErrorCode CommitReplacement(ReplacementFile& file);  // closes, then renames
void AbandonReplacement(ReplacementFile& file);      // closes and removes the temporary file

// Asks for huge pages behind a large buffer that is about to be filled (a hint only).
void AdviseHugePages(void* address, std::size_t size);

}  // namespace platform
