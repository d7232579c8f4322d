// The target lock on POSIX: flock on a descriptor of the file. A run that replaced
// the file by a rename leaves its lock on the old file, so a waiting run checks,
// once it holds the lock, that the name still names the file it locked.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/posix/file_names.h"

namespace platform {

namespace {

bool IsRegularFile(const std::string& name, struct stat& info) {
  return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A descriptor that a lock can be taken on: for reading, or for writing where the
// file may only be written; -1 when neither opens.
int OpenForLocking(const std::string& name) {
  constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(name.c_str(), O_RDONLY | kFlags);
  if (fd < 0) fd = ::open(name.c_str(), O_WRONLY | kFlags);
  return fd;
}

bool Lock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Takes the lock at once when it is free; otherwise says so once, then waits.
bool WaitForLock(int fd, const std::function<void()>& whileWaiting, bool& told) {
  if (Lock(fd, LOCK_EX | LOCK_NB)) return true;
  if (errno != EWOULDBLOCK) return false;
  if (whileWaiting && !told) whileWaiting();
  told = true;
  return Lock(fd, LOCK_EX);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

// A file that cannot be locked (no such file, no right to open it, a file system
// without locks) is worked on without: the steps that follow report what is wrong.
TargetLock::TargetLock(const std::string& name, const std::function<void()>& whileWaiting) {
  if (!posix::UsableName(name)) return;
  bool told = false;
  for (;;) {
    struct stat named;
    if (!IsRegularFile(name, named)) return;
    const int fd = OpenForLocking(name);
    if (fd < 0) return;
    struct stat locked;
    if (!WaitForLock(fd, whileWaiting, told) || ::fstat(fd, &locked) != 0) {
      ::close(fd);
      return;
    }
    if (IsRegularFile(name, named) && SameFile(named, locked)) {
      held_ = fd;
      return;
    }
    ::close(fd);  // replaced while we waited: lock the file the name names now
  }
}

void TargetLock::Release() noexcept {
  if (held_ == kInvalidHandle) return;
  ::close(static_cast<int>(held_));  // closing the descriptor lets the lock go
  held_ = kInvalidHandle;
}

}  // namespace platform
