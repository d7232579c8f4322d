#include "platform/files.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/win32/error_codes.h"
#include "platform/win32/replacement_names.h"

namespace platform {

namespace {

using win32::RecordFailure;
using win32::RecordLastError;

// One ReadFile or WriteFile moves at most this many bytes (its count is 32-bit).
constexpr std::size_t kLargestTransfer = 1u << 30;

HANDLE Native(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

FileHandle Wrapped(HANDLE handle) {
  return reinterpret_cast<FileHandle>(handle);
}

// Names are passed to the system as C strings: an embedded NUL would silently name
// another file, so such a name names nothing.
bool UsableName(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

// Other processes may read an opened file but never write it.
constexpr DWORD kShareReadOnly = FILE_SHARE_READ;
// A temporary file of a replacement is also written through a second handle that
// names it (a text stream bound to it), so its own handle lets writers in.
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

ErrorCode OpenWith(const std::string& name, DWORD access, DWORD disposition, DWORD attributes,
                   FileHandle& handle, DWORD share = kShareReadOnly) {
  handle = kInvalidHandle;
  if (!UsableName(name)) return RecordFailure(ERROR_FILE_NOT_FOUND);
  HANDLE opened =
      ::CreateFileA(name.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return RecordLastError();
  handle = Wrapped(opened);
  return 0;
}

FileHandle StandardHandle(DWORD which) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return kInvalidHandle;
  return Wrapped(handle);
}

// The attributes a new file takes over from the file it replaces.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The path of the file a handle finally names (links and junctions followed); a
// drive path loses the \\?\ prefix that the system puts in front. Empty when the
// system cannot say.
std::string FinalPathOf(HANDLE handle) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD length =
        ::GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) {
      return win32::WithoutLongPathPrefix(std::string_view(buffer.data(), length));
    }
    buffer.resize(length + 1);
  }
}

// A new file beside the target, with a name nobody can guess; it is created only
// if no file of that name exists, so nothing is ever overwritten by it.
ErrorCode CreateTemporaryBeside(const std::string& target, DWORD attributes, FileHandle& handle,
                                std::string& tempPath) {
  std::random_device entropy;
  ErrorCode code = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = win32::TemporaryNameBeside(target, entropy());
    code = OpenWith(candidate, GENERIC_WRITE, CREATE_NEW, attributes, handle, kShareReadWrite);
    if (code == 0) {
      tempPath = std::move(candidate);
      return 0;
    }
    if (win32::WindowsErrorBehindCode(code) != ERROR_FILE_EXISTS &&
        win32::WindowsErrorBehindCode(code) != ERROR_ALREADY_EXISTS) {
      return code;
    }
  }
  return code;
}

bool ReadOnly(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return ::GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void Discard(ReplacementFile& file) {
  if (file.handle != kInvalidHandle) ::CloseHandle(Native(file.handle));
  file.handle = kInvalidHandle;
  if (!file.tempPath.empty()) ::DeleteFileA(file.tempPath.c_str());
  file.tempPath.clear();
}

ErrorCode WriteDirectly(ReplacementFile& file) {
  return OpenWith(file.targetPath, GENERIC_WRITE, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                  file.handle);
}

bool FolderRefusesNewFiles(ErrorCode code) {
  return code == kAccessDenied;
}

}  // namespace

ErrorCode OpenForReading(const std::string& name, FileHandle& handle) {
  // A folder cannot be opened this way (no backup semantics): it is refused with 5.
  return OpenWith(name, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, handle);
}

ErrorCode CreateForWriting(const std::string& name, FileHandle& handle) {
  ErrorCode code = OpenWith(name, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, handle);
  if (code == 0 || win32::WindowsErrorBehindCode(code) != ERROR_SHARING_VIOLATION) return code;
  // Held open by a writer that lets other writers in, such as the handle of a
  // replacement's temporary file: joining it needs the same leave.
  return OpenWith(name, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, handle,
                  kShareReadWrite);
}

ErrorCode OpenForUpdate(const std::string& name, FileHandle& handle) {
  return OpenWith(name, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, handle);
}

ErrorCode ReadBytes(FileHandle handle, char* buffer, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  DWORD count = 0;
  auto wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
  if (::ReadFile(Native(handle), buffer, wanted, &count, nullptr)) {
    bytesRead = count;
    return 0;
  }
  DWORD error = ::GetLastError();
  // The writing end of a pipe went away, or the file ended: the end of the data.
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
  return RecordFailure(error);
}

ErrorCode WriteBytes(FileHandle handle, const char* data, std::size_t size,
                     std::size_t& bytesWritten) {
  bytesWritten = 0;
  while (bytesWritten < size) {
    auto wanted = static_cast<DWORD>(std::min(size - bytesWritten, kLargestTransfer));
    DWORD count = 0;
    if (!::WriteFile(Native(handle), data + bytesWritten, wanted, &count, nullptr)) {
      return RecordLastError();
    }
    if (count == 0) return RecordFailure(ERROR_DISK_FULL);  // no progress: nothing more fits
    bytesWritten += count;
  }
  return 0;
}

ErrorCode CloseFileHandle(FileHandle handle) {
  if (!::CloseHandle(Native(handle))) return RecordLastError();
  return 0;
}

ErrorCode FileSizeOf(FileHandle handle, std::uint64_t& size) {
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(Native(handle), &value)) return RecordLastError();
  size = static_cast<std::uint64_t>(value.QuadPart);
  return 0;
}

ErrorCode SeekTo(FileHandle handle, std::int64_t offset, SeekOrigin origin,
                 std::uint64_t& newPosition) {
  DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                 : origin == SeekOrigin::Current ? FILE_CURRENT
                                                 : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER reached;
  if (!::SetFilePointerEx(Native(handle), distance, &reached, method)) return RecordLastError();
  newPosition = static_cast<std::uint64_t>(reached.QuadPart);
  return 0;
}

ErrorCode TruncateAtPosition(FileHandle handle) {
  if (!::SetEndOfFile(Native(handle))) return RecordLastError();
  return 0;
}

FileHandle StandardInput() {
  return StandardHandle(STD_INPUT_HANDLE);
}
FileHandle StandardOutput() {
  return StandardHandle(STD_OUTPUT_HANDLE);
}
FileHandle StandardError() {
  return StandardHandle(STD_ERROR_HANDLE);
}

HandleType TypeOfHandle(FileHandle handle) {
  if (handle == kInvalidHandle) return HandleType::Unknown;
  switch (::GetFileType(Native(handle))) {
    case FILE_TYPE_DISK:
      return HandleType::Disk;
    case FILE_TYPE_CHAR:
      return HandleType::Character;
    case FILE_TYPE_PIPE:
      return HandleType::Pipe;
    default:
      return HandleType::Unknown;
  }
}

std::string SystemErrorText(ErrorCode code) {
  return win32::SystemMessageText(win32::WindowsErrorBehindCode(code));
}

std::string FullPathOf(std::string_view name) {
  if (!UsableName(name)) return {};
  const std::string input(name);
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD length = ::GetFullPathNameA(input.c_str(), static_cast<DWORD>(buffer.size()),
                                      buffer.data(), nullptr);
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

bool RegularFileExists(std::string_view name) {
  if (!UsableName(name)) return false;
  const std::string pattern(name);
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode BeginReplacement(const std::string& target, ReplacementFile& file) {
  file = ReplacementFile{};
  if (!UsableName(target)) return RecordFailure(ERROR_FILE_NOT_FOUND);
  file.targetPath = target;

  // Opening the target for writing (without truncating it) refuses a target that
  // could not be written, just as writing it in place would, and tells its kind.
  FileHandle probe;
  ErrorCode code = OpenWith(target, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, probe);
  if (code != 0 && win32::WindowsErrorBehindCode(code) == ERROR_SHARING_VIOLATION) {
    // Being read right now (by this run, when a file is rewritten line by line): it
    // is replaced only after the reader let go, so only the read-only mark counts.
    code = OpenWith(target, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, probe);
  }
  // A read-only file is never replaced (an account that may write it anyway, as
  // under an emulator run by root, must not get around the mark by renaming).
  if (code == 0 && ReadOnly(Native(probe))) {
    ::CloseHandle(Native(probe));
    return RecordFailure(ERROR_ACCESS_DENIED);
  }
  const bool exists = code == 0;
  if (!exists && win32::WindowsErrorBehindCode(code) != ERROR_FILE_NOT_FOUND) return code;

  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (exists) {
    if (TypeOfHandle(probe) != HandleType::Disk) {
      // Devices and pipes take the bytes as they come.
      file.handle = probe;
      return 0;
    }
    // A link stays a link: the file it points to is the one replaced.
    std::string finalPath = FinalPathOf(Native(probe));
    if (!finalPath.empty()) file.targetPath = finalPath;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(Native(probe), &info)) {
      attributes = info.dwFileAttributes & kInheritedAttributes;
      if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    }
    ::CloseHandle(Native(probe));
  }

  code = CreateTemporaryBeside(file.targetPath, attributes, file.handle, file.tempPath);
  if (code != 0) {
    // A writable file in a folder that takes no new files can still be rewritten in
    // place, as it always could.
    if (exists && FolderRefusesNewFiles(code)) return WriteDirectly(file);
    file.handle = kInvalidHandle;
    return code;
  }
  return 0;
}

ErrorCode CommitReplacement(ReplacementFile& file) {
  if (file.handle == kInvalidHandle) return RecordFailure(ERROR_INVALID_HANDLE);
  FileHandle handle = file.handle;
  file.handle = kInvalidHandle;
  // The bytes must be on the disk before the name moves over to them.
  if (!file.tempPath.empty()) ::FlushFileBuffers(Native(handle));
  ErrorCode code = CloseFileHandle(handle);
  if (file.tempPath.empty()) return code;
  if (code == 0 && !::MoveFileExA(file.tempPath.c_str(), file.targetPath.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    code = RecordLastError();
  }
  if (code != 0) ::DeleteFileA(file.tempPath.c_str());
  file.tempPath.clear();
  return code;
}

void AbandonReplacement(ReplacementFile& file) {
  Discard(file);
}

// Large pages need a privilege that a console tool does not hold: nothing to do.
void AdviseHugePages(void*, std::size_t) {}

namespace {

// Volume and file index name a file whatever path or link leads to it.
bool IdentityOf(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle =
      ::CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return known;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  return IdentityOf(a, first) && IdentityOf(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace platform
