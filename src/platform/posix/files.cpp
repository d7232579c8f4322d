#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/posix/error_codes.h"
#include "platform/posix/file_names.h"

namespace platform {

namespace posix {

bool UsableName(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

ErrorCode OpenWith(const std::string& name, int flags, FileHandle& handle) {
  handle = kInvalidHandle;
  if (!UsableName(name)) return RecordFailure(ENOENT);
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return RecordFailure(errno);
  handle = fd;
  return 0;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace posix

namespace {

using posix::OpenWith;
using posix::UsableName;

using posix::RecordFailure;

int Fd(FileHandle handle) {
  return static_cast<int>(handle);
}

FileHandle StandardHandle(int fd) {
  return ::fcntl(fd, F_GETFD) == -1 ? kInvalidHandle : FileHandle{fd};
}

// "*" matches any run of bytes, "?" exactly one byte; everything else itself.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The first entry of the folder (in byte order of the names, "." and ".." left out)
// whose name matches the pattern.
std::optional<std::string> FirstMatchingEntry(const std::string& folder, std::string_view pattern) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> first;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!WildcardMatch(pattern, name)) continue;
    if (!first || name < *first) first = std::string(name);
  }
  ::closedir(dir);
  return first;
}

}  // namespace

ErrorCode OpenForReading(const std::string& name, FileHandle& handle) {
  ErrorCode code = OpenWith(name, O_RDONLY, handle);
  if (code != 0) return code;
  // A folder opens for reading here but holds no data: refuse it at the open, as a
  // directory search-and-open would.
  struct stat info;
  if (::fstat(Fd(handle), &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(Fd(handle));
    handle = kInvalidHandle;
    return RecordFailure(EISDIR);
  }
  return 0;
}

ErrorCode CreateForWriting(const std::string& name, FileHandle& handle) {
  return OpenWith(name, O_WRONLY | O_CREAT | O_TRUNC, handle);
}

ErrorCode OpenForUpdate(const std::string& name, FileHandle& handle) {
  return OpenWith(name, O_RDWR, handle);
}

ErrorCode ReadBytes(FileHandle handle, char* buffer, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  for (;;) {
    ssize_t count = ::read(Fd(handle), buffer, size);
    if (count >= 0) {
      bytesRead = static_cast<std::size_t>(count);
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EPIPE) return 0;  // the writing end went away: the end of the data
    return RecordFailure(errno);
  }
}

ErrorCode WriteBytes(FileHandle handle, const char* data, std::size_t size,
                     std::size_t& bytesWritten) {
  bytesWritten = 0;
  while (bytesWritten < size) {
    ssize_t count = ::write(Fd(handle), data + bytesWritten, size - bytesWritten);
    if (count < 0) {
      if (errno == EINTR) continue;
      return RecordFailure(errno);
    }
    if (count == 0) return RecordFailure(ENOSPC);  // no progress: nothing more fits
    bytesWritten += static_cast<std::size_t>(count);
  }
  return 0;
}

ErrorCode CloseFileHandle(FileHandle handle) {
  // Linux releases the descriptor even when close reports EINTR: never retry.
  if (::close(Fd(handle)) != 0 && errno != EINTR) return RecordFailure(errno);
  return 0;
}

ErrorCode FileSizeOf(FileHandle handle, std::uint64_t& size) {
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0) return RecordFailure(errno);
  size = static_cast<std::uint64_t>(info.st_size);
  return 0;
}

ErrorCode SeekTo(FileHandle handle, std::int64_t offset, SeekOrigin origin,
                 std::uint64_t& newPosition) {
  int whence = origin == SeekOrigin::Begin     ? SEEK_SET
               : origin == SeekOrigin::Current ? SEEK_CUR
                                               : SEEK_END;
  off_t position = ::lseek(Fd(handle), static_cast<off_t>(offset), whence);
  if (position < 0) return RecordFailure(errno);
  newPosition = static_cast<std::uint64_t>(position);
  return 0;
}

ErrorCode TruncateAtPosition(FileHandle handle) {
  off_t position = ::lseek(Fd(handle), 0, SEEK_CUR);
  if (position < 0) return RecordFailure(errno);
  int result;
  do {
    result = ::ftruncate(Fd(handle), position);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return RecordFailure(errno);
  return 0;
}

ErrorCode FlushToDisk(FileHandle handle) {
  int result;
  do {
    result = ::fsync(Fd(handle));
  } while (result != 0 && errno == EINTR);
  // A pipe or a terminal has nothing to flush to a disk.
  if (result != 0 && errno != EINVAL && errno != EROFS) return RecordFailure(errno);
  return 0;
}

FileHandle StandardInput() {
  return StandardHandle(STDIN_FILENO);
}
FileHandle StandardOutput() {
  return StandardHandle(STDOUT_FILENO);
}
FileHandle StandardError() {
  return StandardHandle(STDERR_FILENO);
}

HandleType TypeOfHandle(FileHandle handle) {
  struct stat info;
  if (handle == kInvalidHandle || ::fstat(Fd(handle), &info) != 0) return HandleType::Unknown;
  if (S_ISREG(info.st_mode)) return HandleType::Disk;
  if (S_ISCHR(info.st_mode)) return HandleType::Character;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return HandleType::Pipe;
  return HandleType::Unknown;
}

std::string SystemErrorText(ErrorCode code) {
  return posix::TrimmedErrnoText(posix::ErrnoBehindCode(code));
}

std::string FullPathOf(std::string_view name) {
  if (!UsableName(name)) return {};
  std::string joined;
  if (name.front() != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    joined = cwd;
    joined += '/';
  }
  joined += name;

  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (std::string_view part : parts) {
    full += '/';
    full += part;
  }
  // A name that ends with a separator names a folder; keep saying so.
  if (full.empty() || name.back() == '/') full += '/';
  return full;
}

bool RegularFileExists(std::string_view name) {
  if (!UsableName(name)) return false;
  std::string path(name);
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!HasWildcard(pattern)) return IsRegularFile(path);
  if (HasWildcard(folder) || pattern.empty()) return false;
  std::optional<std::string> first = FirstMatchingEntry(folder, pattern);
  return first && IsRegularFile(folder + *first);
}

void AdviseHugePages(void* address, std::size_t size) {
#ifdef MADV_HUGEPAGE
  long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pageSize <= 0 || address == nullptr) return;
  auto page = static_cast<std::uintptr_t>(pageSize);
  auto start = reinterpret_cast<std::uintptr_t>(address);
  std::uintptr_t end = start + size;
  std::uintptr_t innerStart = (start + page - 1) / page * page;
  std::uintptr_t innerEnd = end / page * page;
  if (innerEnd > innerStart) {
    ::madvise(reinterpret_cast<void*>(innerStart), innerEnd - innerStart, MADV_HUGEPAGE);
  }
#else
  (void)address;
  (void)size;
#endif
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

namespace {

EntryKind KindOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return EntryKind::Other;
  if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
  if (S_ISREG(info.st_mode)) return EntryKind::File;
  if (!S_ISLNK(info.st_mode)) return EntryKind::Other;
  // A link counts as what it leads to, but a folder behind a link is not entered.
  return IsRegularFile(path) ? EntryKind::File : EntryKind::Other;
}

}  // namespace

ErrorCode ListFolder(const std::string& folder, std::string_view pattern,
                     std::vector<FolderEntry>& entries) {
  entries.clear();
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return RecordFailure(errno);
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !WildcardMatch(pattern, name)) continue;
    entries.push_back({std::string(name), KindOf(prefix + entry->d_name)});
  }
  ::closedir(dir);
  return 0;
}

ErrorCode CreateScratchFile(FileHandle& handle) {
  handle = kInvalidHandle;
  const char* folder = ::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != 0 ? folder : "/tmp";
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(path.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    handle = fd;
    return 0;
  }
#endif
  // Without unnamed files: a name that goes at once, while the file stays open.
  path += "/quorve-scratch-XXXXXX";
  fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) return RecordFailure(errno);
  ::unlink(path.c_str());
  handle = fd;
  return 0;
}

std::string FileIdentityKey(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) return {};
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first;
  struct stat second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace platform
