#include "platform/files.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/win32/error_codes.h"
#include "platform/win32/file_access.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/replacement_names.h"

namespace platform {

namespace win32 {

bool UsableName(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

ErrorCode OpenWith(const std::string& name, DWORD access, DWORD disposition, DWORD attributes,
                   FileHandle& handle, DWORD share) {
  handle = kInvalidHandle;
  if (!UsableName(name)) return RecordFailure(ERROR_FILE_NOT_FOUND);
  HANDLE opened =
      ::CreateFileA(name.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return RecordLastError();
  handle = Wrapped(opened);
  return 0;
}

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
}  // namespace win32

namespace {

using win32::kShareAll;
using win32::kShareReadWrite;
using win32::Native;
using win32::OpenWith;
using win32::RecordFailure;
using win32::RecordLastError;
using win32::UsableName;
using win32::Wrapped;

// One ReadFile or WriteFile moves at most this many bytes (its count is 32-bit).
constexpr std::size_t kLargestTransfer = 1u << 30;

FileHandle StandardHandle(DWORD which) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return kInvalidHandle;
  return Wrapped(handle);
}

}  // namespace

ErrorCode OpenForReading(const std::string& name, FileHandle& handle) {
  // A folder cannot be opened this way (no backup semantics): it is refused with 5.
  return OpenWith(name, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, handle);
}

ErrorCode CreateForWriting(const std::string& name, FileHandle& handle) {
  ErrorCode code = OpenWith(name, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, handle);
  if (code == 0 || win32::WindowsErrorBehindCode(code) != ERROR_SHARING_VIOLATION) return code;
  // Held open by a writer that lets other writers in: joining it needs the same
  // leave.
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

ErrorCode FlushToDisk(FileHandle handle) {
  if (!::FlushFileBuffers(Native(handle))) return RecordLastError();
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

// Large pages need a privilege that a console tool does not hold: nothing to do.
void AdviseHugePages(void*, std::size_t) {}

namespace win32 {

DWORD RetriedWhileBusy(const std::function<DWORD()>& attempt) {
  constexpr int kAttempts = 40;
  constexpr DWORD kPauseMilliseconds = 25;
  DWORD error = attempt();
  for (int done = 1; done < kAttempts; ++done) {
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
    ::Sleep(kPauseMilliseconds);
    error = attempt();
  }
  return error;
}

bool FileInformationOf(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  if (!UsableName(name)) return false;
  const DWORD error = RetriedWhileBusy([&]() -> DWORD {
    HANDLE handle = ::CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    const DWORD failure = known ? 0 : ::GetLastError();
    ::CloseHandle(handle);
    return known ? 0 : (failure != 0 ? failure : ERROR_GEN_FAILURE);
  });
  return error == 0;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace win32

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

namespace {

EntryKind KindOf(const WIN32_FIND_DATAA& found) {
  const DWORD attributes = found.dwFileAttributes;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A junction or a link to a folder is not entered; a link to a file is the file.
  if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::Other;
  if (folder) return EntryKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::Other;
  return EntryKind::File;
}

}  // namespace

// The system's own search matches the pattern, as it does for names typed at the
// prompt (without regard to case).
ErrorCode ListFolder(const std::string& folder, std::string_view pattern,
                     std::vector<FolderEntry>& entries) {
  entries.clear();
  std::string search = folder;
  if (!search.empty() && search.back() != '\\' && search.back() != '/') search += '\\';
  search += pattern;
  WIN32_FIND_DATAA found;
  HANDLE handle = ::FindFirstFileA(search.c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A folder where nothing matches is an empty list, not a failure.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return 0;
    return RecordFailure(error);
  }
  do {
    const std::string_view name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), KindOf(found)});
  } while (::FindNextFileA(handle, &found));
  ::FindClose(handle);
  return 0;
}

ErrorCode CreateScratchFile(FileHandle& handle) {
  handle = kInvalidHandle;
  char folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) return RecordLastError();
  char name[MAX_PATH + 1];
  if (::GetTempFileNameA(folder, "qvs", 0, name) == 0) return RecordLastError();
  // Shared with no one, and deleted by the system when the handle closes.
  HANDLE opened = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const ErrorCode code = RecordLastError();
    ::DeleteFileA(name);
    return code;
  }
  handle = Wrapped(opened);
  return 0;
}

std::string FileIdentityKey(const std::string& name) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!win32::FileInformationOf(name, info)) return {};
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow);
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  return win32::FileInformationOf(a, first) && win32::FileInformationOf(b, second) &&
         win32::SameIdentity(first, second);
}

}  // namespace platform
