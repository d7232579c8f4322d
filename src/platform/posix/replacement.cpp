// Replacement files on POSIX (files.h says what they promise).
//
// The new file is an O_TMPFILE file in the target's folder where the file system
// has them: it has no name until the commit links it to one just before the rename,
// so a killed run leaves nothing. Elsewhere it is a mkostemp file whose name the
// interruption handlers remove. Either is mode 0600 while it is written. The commit
// puts the target's owner, extended attributes (the ACL among them) and mode on it
// after the last write (a write clears set-user-ID bits and file capabilities),
// flushes it, renames it over the target and flushes the folder. A target with more
// links than one, or whose owner or attributes cannot be copied, is rewritten in
// place behind a backup instead (in_place_rewrite.h).
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <set>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/in_place_rewrite.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/file_names.h"
#include "platform/removal_on_interrupt.h"
#include "platform/replacement_steps.h"

namespace platform {

namespace {

using posix::BaseNameOf;
using posix::FolderOf;
using posix::OpenWith;
using posix::RecordFailure;

int Fd(FileHandle handle) {
  return static_cast<int>(handle);
}

// Keeps ".<name>.<suffix>" under NAME_MAX.
constexpr std::size_t kMaxNamePart = 200;
constexpr int kLinkHops = 40;
constexpr int kNameAttempts = 100;

std::string HiddenNameBeside(const std::string& target, std::string_view suffix) {
  const std::string folder = FolderOf(target);
  std::string name = folder == "/" ? std::string() : folder;
  name += "/.";
  name += BaseNameOf(target).substr(0, kMaxNamePart);
  name += '.';
  name += suffix;
  return name;
}

// "/dev/fd/N", "/proc/self/fd/N" and "/proc/<this process>/fd/N" name the process's
// own descriptor N; any other path gives -1.
int OwnDescriptorNamed(const std::string& path) {
  const std::string prefixes[] = {"/dev/fd/", "/proc/self/fd/",
                                  "/proc/" + std::to_string(::getpid()) + "/fd/"};
  for (const std::string& prefix : prefixes) {
    if (!path.starts_with(prefix)) continue;
    const std::string digits = path.substr(prefix.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return -1;
    }
    return std::stoi(digits);
  }
  return -1;
}

// Follows a chain of symbolic links to the file they finally name (which need not
// exist), stopping at a name of one of the process's own descriptors (descriptor is
// then set; /dev/stdout leads there). Returns 0, or the code of the failure.
ErrorCode ResolveLinks(const std::string& name, std::string& resolved, int& descriptor) {
  resolved = name;
  for (int hops = 0; hops < kLinkHops; ++hops) {
    descriptor = OwnDescriptorNamed(resolved);
    if (descriptor >= 0) return 0;
    struct stat info;
    if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) +
                             1);
    ssize_t length = ::readlink(resolved.c_str(), target.data(), target.size());
    if (length < 0) return RecordFailure(errno);
    std::string next(target.data(), static_cast<std::size_t>(length));
    if (next.empty()) return RecordFailure(ENOENT);
    resolved = next.front() == '/' ? next : FolderOf(resolved) + "/" + next;
  }
  return RecordFailure(ELOOP);
}

mode_t CurrentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// The bytes go where the descriptor sends them (a pipe, a terminal, or the file
// standard output was opened on, at its own position): nothing is truncated.
ErrorCode WriteToDescriptor(ReplacementFile& file, int descriptor) {
  const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return RecordFailure(errno);
  file.handle = copy;
  file.direct = true;
  return 0;
}

// Devices, pipes and FIFOs take the bytes as they come.
ErrorCode WriteDirectly(ReplacementFile& file) {
  const ErrorCode code = OpenWith(file.targetPath, O_WRONLY | O_NOCTTY, file.handle);
  file.direct = code == 0;
  return code;
}

std::string DescriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// A file without a name gets one at the commit through its descriptor's name under
// /proc, which must lead to it (/proc may be missing or something else in a
// container).
bool CanBeNamedLater(int fd) {
  struct stat byDescriptor;
  struct stat byName;
  return ::fstat(fd, &byDescriptor) == 0 && ::stat(DescriptorPath(fd).c_str(), &byName) == 0 &&
         byDescriptor.st_dev == byName.st_dev && byDescriptor.st_ino == byName.st_ino;
}

// 0 and a handle, or the failure's code; unsupported says that unnamed files cannot
// be had here (the file system, the kernel or /proc), which is no failure of its own.
ErrorCode CreateUnnamedBeside(const std::string& target, FileHandle& handle, bool& unsupported) {
  unsupported = false;
  int fd;
  do {
    fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
    return RecordFailure(errno);
  }
  if (!CanBeNamedLater(fd)) {
    ::close(fd);
    unsupported = true;
    return RecordFailure(EOPNOTSUPP);
  }
  handle = fd;
  return 0;
}

// Holds the interruption signals back while a new name is made and registered, so
// that no interruption falls between the two.
class InterruptionsHeld {
 public:
  InterruptionsHeld() {
    sigset_t held;
    ::sigemptyset(&held);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::sigaddset(&held, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~InterruptionsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
  sigset_t previous_;
};

ErrorCode CreateNamedBeside(ReplacementFile& file) {
  const std::string pattern = HiddenNameBeside(file.targetPath, "XXXXXX");
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  const InterruptionsHeld held;
  const int fd = ::mkostemp(path.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return RecordFailure(errno);
  file.handle = fd;
  file.tempPath.assign(path.data());
  file.cleanupSlot = RegisterRemovalOnInterrupt(file.tempPath);
  return 0;
}

ErrorCode CreateNewFileBeside(ReplacementFile& file) {
  bool unsupported = false;
  const ErrorCode code = CreateUnnamedBeside(file.targetPath, file.handle, unsupported);
  if (!unsupported) return code;
  return CreateNamedBeside(file);
}

// Gives an unnamed new file a name beside the target, just before the rename.
ErrorCode NameTheNewFile(ReplacementFile& file) {
  if (!file.tempPath.empty()) return 0;
  const std::string source = DescriptorPath(Fd(file.handle));
  std::random_device entropy;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(entropy()));
    const std::string name = HiddenNameBeside(file.targetPath, digits);
    const InterruptionsHeld held;
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      file.tempPath = name;
      file.cleanupSlot = RegisterRemovalOnInterrupt(name);
      return 0;
    }
    if (errno != EEXIST) return RecordFailure(errno);
  }
  return RecordFailure(EEXIST);
}

// The names of the extended attributes of a file (a path) or of a descriptor.
bool AttributeNames(const std::string* path, int fd, std::vector<std::string>& names) {
  names.clear();
  std::vector<char> list;
  for (;;) {
    const ssize_t size =
        path ? ::listxattr(path->c_str(), nullptr, 0) : ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP;  // a file system without them
    list.resize(static_cast<std::size_t>(size) + 1);
    const ssize_t got = path ? ::listxattr(path->c_str(), list.data(), list.size())
                             : ::flistxattr(fd, list.data(), list.size());
    if (got < 0 && errno == ERANGE) continue;  // more names came meanwhile
    if (got < 0) return false;
    for (std::size_t start = 0; start < static_cast<std::size_t>(got);) {
      const std::string name(list.data() + start);
      start += name.size() + 1;
      if (!name.empty()) names.push_back(name);
    }
    return true;
  }
}

bool CopyAttribute(const std::string& from, const std::string& name, int to) {
  std::vector<char> value;
  for (;;) {
    const ssize_t size = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size) + 1);
    const ssize_t got = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return false;
    return ::fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(got), 0) == 0;
  }
}

// The new file ends with exactly the target's extended attributes: its own ones
// that the target lacks (an ACL from the folder's default ACL, say) would change who
// may use it.
bool CopyExtendedAttributes(const std::string& from, int to) {
  std::vector<std::string> wanted;
  std::vector<std::string> present;
  if (!AttributeNames(&from, -1, wanted) || !AttributeNames(nullptr, to, present)) return false;
  for (const std::string& name : present) {
    if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
    if (::fremovexattr(to, name.c_str()) != 0) return false;
  }
  for (const std::string& name : wanted) {
    if (!CopyAttribute(from, name, to)) return false;
  }
  return true;
}

// Owner, group, extended attributes and mode of the target on the new file; false
// when any of them cannot be had there.
bool TakeOverIdentity(int fd, const std::string& path, const struct stat& target) {
  struct stat mine;
  if (::fstat(fd, &mine) != 0) return false;
  if ((mine.st_uid != target.st_uid || mine.st_gid != target.st_gid) &&
      ::fchown(fd, target.st_uid, target.st_gid) != 0) {
    return false;
  }
  if (!CopyExtendedAttributes(path, fd)) return false;
  // Last: a change of owner clears the set-user and set-group bits, and the mode
  // sets the ACL's mask to the target's.
  return ::fchmod(fd, target.st_mode & 07777) == 0;
}

ErrorCode RewriteTarget(ReplacementFile& file, const struct stat& target) {
  const ErrorCode code = RewriteInPlace(file.targetPath, file.handle, file.keptBackup);
  // A write by an account without CAP_FSETID clears the set-user and set-group bits.
  struct stat after;
  if (code == 0 && ::stat(file.targetPath.c_str(), &after) == 0 &&
      (after.st_mode & 07777) != (target.st_mode & 07777)) {
    ::chmod(file.targetPath.c_str(), target.st_mode & 07777);
  }
  return code;
}

ErrorCode RenameOverTarget(ReplacementFile& file) {
  if (ErrorCode code = FlushToDisk(file.handle)) return code;
  if (ErrorCode code = NameTheNewFile(file)) return code;
  if (::rename(file.tempPath.c_str(), file.targetPath.c_str()) != 0) return RecordFailure(errno);
  file.tempPath.clear();  // the name is the target's now
  DropRemovalOnInterrupt(file.cleanupSlot);
  file.cleanupSlot = -1;
  if (!file.folderFlushedLater) in_place::FlushFolderOf(file.targetPath);
  return 0;
}

}  // namespace

ErrorCode BeginReplacement(const std::string& target, ReplacementFile& file) {
  file = ReplacementFile{};
  if (!posix::UsableName(target)) return RecordFailure(ENOENT);
  int descriptor = -1;
  ErrorCode code = ResolveLinks(target, file.targetPath, descriptor);
  if (code != 0) return code;
  if (descriptor >= 0) return WriteToDescriptor(file, descriptor);

  struct stat info;
  const bool exists = ::stat(file.targetPath.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) return RecordFailure(errno);
  if (exists && !S_ISREG(info.st_mode)) return WriteDirectly(file);
  if (exists) {
    // Refuse a target that could not be written, just as writing it in place would.
    FileHandle probe;
    code = OpenWith(file.targetPath, O_WRONLY | O_NONBLOCK, probe);
    if (code != 0) return code;
    ::close(Fd(probe));
  }
  // A folder that takes no new file fails here, before the target is touched.
  return CreateNewFileBeside(file);
}

namespace replacement_steps {

ErrorCode PutInPlace(ReplacementFile& file) {
  struct stat target;
  const bool exists = ::stat(file.targetPath.c_str(), &target) == 0;
  if (!exists && errno != ENOENT) return RecordFailure(errno);
  const int fd = Fd(file.handle);
  if (!exists) {
    if (::fchmod(fd, 0666 & ~CurrentUmask()) != 0) return RecordFailure(errno);
  } else if (S_ISREG(target.st_mode) &&
             (target.st_nlink > 1 || !TakeOverIdentity(fd, file.targetPath, target))) {
    return RewriteTarget(file, target);
  }
  return RenameOverTarget(file);
}

void Discard(ReplacementFile& file) {
  if (file.handle != kInvalidHandle) ::close(Fd(file.handle));
  file.handle = kInvalidHandle;
  if (!file.tempPath.empty()) ::unlink(file.tempPath.c_str());
  file.tempPath.clear();
  DropRemovalOnInterrupt(file.cleanupSlot);
  file.cleanupSlot = -1;
}

ErrorCode NoFileToCommit() {
  return RecordFailure(EBADF);
}

}  // namespace replacement_steps

namespace {

void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // a file system that cannot is no failure of the run
  ::close(fd);
}

}  // namespace

void FlushFoldersOf(const std::vector<std::string>& files) {
  std::set<std::string> folders;
  for (const std::string& file : files) {
    folders.insert(FolderOf(file));
    char resolved[PATH_MAX];
    if (::realpath(file.c_str(), resolved) != nullptr) folders.insert(FolderOf(resolved));
  }
  for (const std::string& folder : folders) FlushFolder(folder);
}

namespace in_place {

std::string BackupNameBeside(const std::string& target, int attempt) {
  std::string suffix = "quorve-backup-" + std::to_string(::getpid());
  if (attempt > 0) suffix += "-" + std::to_string(attempt);
  return HiddenNameBeside(target, suffix);
}

ErrorCode CreateBackupFile(const std::string& name, FileHandle original, FileHandle& handle,
                           bool& nameTaken) {
  nameTaken = false;
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    nameTaken = errno == EEXIST;
    return RecordFailure(errno);
  }
  // The original's owner can then restore from the backup a killed run left.
  struct stat info;
  if (::geteuid() == 0 && ::fstat(Fd(original), &info) == 0) {
    [[maybe_unused]] const int ignored = ::fchown(fd, info.st_uid, info.st_gid);
  }
  handle = fd;
  return 0;
}

ErrorCode RemoveFile(const std::string& name) {
  if (::unlink(name.c_str()) != 0) return RecordFailure(errno);
  return 0;
}

void FlushFolderOf(const std::string& path) {
  FlushFolder(FolderOf(path));
}

}  // namespace in_place

}  // namespace platform
