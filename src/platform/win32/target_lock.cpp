// The target lock on Windows: a named mutex of the session that stands for the
// file's identity (volume and file index). A lock on the file itself would keep a
// handle open on it, and Windows replaces no file that is open anywhere; the mutex
// leaves the file free. A run that replaced the file leaves the mutex of the old
// one, so a waiting run checks, once it holds the mutex, that the name still names
// the file it stood for. A mutex whose holder died is taken over.
#include <cstdio>

#include "platform/files.h"
#include "platform/win32/file_access.h"
#include "platform/win32/file_identity.h"

namespace platform {

namespace {

std::string MutexNameFor(const BY_HANDLE_FILE_INFORMATION& info) {
  char name[64];
  std::snprintf(name, sizeof name, "Local\\quorve-lock-%08lx-%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return name;
}

bool IsRegularFile(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  return win32::FileInformationOf(name, info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Taken(DWORD waited) {
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

// Takes the mutex at once when it is free; otherwise says so once, then waits.
bool WaitForMutex(HANDLE mutex, const std::function<void()>& whileWaiting, bool& told) {
  const DWORD now = ::WaitForSingleObject(mutex, 0);
  if (now != WAIT_TIMEOUT) return Taken(now);
  if (whileWaiting && !told) whileWaiting();
  told = true;
  return Taken(::WaitForSingleObject(mutex, INFINITE));
}

}  // namespace

// A file that cannot be locked is worked on without: the steps that follow report
// what is wrong with it.
TargetLock::TargetLock(const std::string& name, const std::function<void()>& whileWaiting) {
  bool told = false;
  for (;;) {
    BY_HANDLE_FILE_INFORMATION locked;
    if (!IsRegularFile(name, locked)) return;
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, MutexNameFor(locked).c_str());
    if (mutex == nullptr) return;
    if (!WaitForMutex(mutex, whileWaiting, told)) {
      ::CloseHandle(mutex);
      return;
    }
    BY_HANDLE_FILE_INFORMATION named;
    if (IsRegularFile(name, named) && win32::SameIdentity(named, locked)) {
      held_ = win32::Wrapped(mutex);
      return;
    }
    // Replaced while we waited: wait for the file the name names now.
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  }
}

void TargetLock::Release() noexcept {
  if (held_ == kInvalidHandle) return;
  ::ReleaseMutex(win32::Native(held_));
  ::CloseHandle(win32::Native(held_));
  held_ = kInvalidHandle;
}

}  // namespace platform
