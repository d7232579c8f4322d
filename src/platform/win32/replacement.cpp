// Replacement files on Windows (files.h says what they promise).
//
// The new file is created beside the target under a random name and marked to be
// deleted when its last handle closes, so a run that is killed in any way (the
// system closes a dead process's handles) leaves nothing. The commit flushes it,
// takes the mark away, and puts it in the target's place with ReplaceFile, which
// carries the target's attributes, ACL and alternate streams over to it; a target
// that did not exist is named with MoveFileEx. A target with more links than one, or
// whose attributes ReplaceFile cannot merge, is rewritten in place behind a backup
// instead (in_place_rewrite.h). Between the mark's removal and the rename the name
// is registered for the console control handler.
#include <algorithm>
#include <random>

#include "platform/files.h"
#include "platform/in_place_rewrite.h"
#include "platform/removal_on_interrupt.h"
#include "platform/win32/error_codes.h"
#include "platform/win32/file_access.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/replacement_names.h"

namespace platform {

namespace {

using win32::kShareAll;
using win32::Native;
using win32::OpenWith;
using win32::RecordFailure;
using win32::RecordLastError;
using win32::WindowsErrorBehindCode;

constexpr int kNameAttempts = 100;

// The attributes a new file takes over from the file it replaces.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsNameTaken(ErrorCode code) {
  const unsigned long error = WindowsErrorBehindCode(code);
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The open file goes when its last handle closes (remove), or stays (keep).
bool MarkForDeletionOnClose(FileHandle handle, bool remove) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(Native(handle), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A new file beside the target, with a name nobody can guess; it is created only
// if no file of that name exists, so nothing is ever overwritten by it. Where it
// cannot be marked for deletion on close, its name is registered for the console
// control handler instead (the slot says which).
ErrorCode CreateTemporaryBeside(ReplacementFile& file, DWORD attributes) {
  std::random_device entropy;
  ErrorCode code = 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string candidate = win32::TemporaryNameBeside(file.targetPath, entropy());
    code = OpenWith(candidate, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_NEW, attributes,
                    file.handle, kShareAll);
    if (code == 0) {
      file.tempPath = std::move(candidate);
      if (!MarkForDeletionOnClose(file.handle, true)) {
        file.cleanupSlot = RegisterRemovalOnInterrupt(file.tempPath);
      }
      return 0;
    }
    if (!IsNameTaken(code)) return code;
  }
  return code;
}

bool ReadOnly(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return ::GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// A marked file goes by itself once closed; an unmarked one is deleted by name.
void Discard(ReplacementFile& file) {
  if (file.handle != kInvalidHandle) ::CloseHandle(Native(file.handle));
  file.handle = kInvalidHandle;
  if (!file.tempPath.empty()) ::DeleteFileA(file.tempPath.c_str());
  file.tempPath.clear();
  DropRemovalOnInterrupt(file.cleanupSlot);
  file.cleanupSlot = -1;
}

// The new file must outlive its handle from here on: only a name in the control
// handler's table stands for it until it has been renamed.
ErrorCode KeepTheNewFile(ReplacementFile& file) {
  if (file.cleanupSlot < 0) {
    if (!MarkForDeletionOnClose(file.handle, false)) return RecordLastError();
    file.cleanupSlot = RegisterRemovalOnInterrupt(file.tempPath);
  }
  const HANDLE handle = Native(file.handle);
  file.handle = kInvalidHandle;
  if (!::CloseHandle(handle)) return RecordLastError();
  return 0;
}

ErrorCode MoveOverTarget(ReplacementFile& file) {
  const DWORD error = win32::RetriedWhileBusy([&]() -> DWORD {
    return ::MoveFileExA(file.tempPath.c_str(), file.targetPath.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : ::GetLastError();
  });
  if (error != 0) return RecordFailure(error);
  file.tempPath.clear();  // the name is the target's now
  return 0;
}

// The new file, by its name now, written over the target in place.
ErrorCode RewriteFromNewFile(ReplacementFile& file) {
  FileHandle newFile = kInvalidHandle;
  ErrorCode code = OpenForReading(file.tempPath, newFile);
  if (code != 0) return code;
  code = RewriteInPlace(file.targetPath, newFile, file.keptBackup);
  ::CloseHandle(Native(newFile));
  return code;
}

ErrorCode ReplaceTarget(ReplacementFile& file) {
  const DWORD replaced = win32::RetriedWhileBusy([&]() -> DWORD {
    return ::ReplaceFileA(file.targetPath.c_str(), file.tempPath.c_str(), nullptr, 0, nullptr,
                          nullptr)
               ? 0
               : ::GetLastError();
  });
  if (replaced == 0) {
    file.tempPath.clear();  // the name is the target's now
    return 0;
  }
  switch (const DWORD error = replaced) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      // The target is gone and the new file kept its own name: give it the target's.
      return MoveOverTarget(file);
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
      // A file system without ReplaceFile.
      return MoveOverTarget(file);
    default:
      // Something of the target's that cannot go over to the new file: keep the
      // target and give it the new bytes.
      RecordFailure(error);
      return RewriteFromNewFile(file);
  }
}

ErrorCode PutInPlace(ReplacementFile& file) {
  if (ErrorCode code = FlushToDisk(file.handle)) return code;
  BY_HANDLE_FILE_INFORMATION target;
  const bool exists = win32::FileInformationOf(file.targetPath, target);
  // A folder that took the target's name meanwhile is no file to replace.
  if (exists && (target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return RecordFailure(ERROR_ACCESS_DENIED);
  }
  if (exists && target.nNumberOfLinks > 1) {
    return RewriteInPlace(file.targetPath, file.handle, file.keptBackup);
  }
  if (ErrorCode code = KeepTheNewFile(file)) return code;
  return exists ? ReplaceTarget(file) : MoveOverTarget(file);
}

}  // namespace

ErrorCode BeginReplacement(const std::string& target, ReplacementFile& file) {
  file = ReplacementFile{};
  if (!win32::UsableName(target)) return RecordFailure(ERROR_FILE_NOT_FOUND);
  file.targetPath = target;

  // Opening the target for writing (without truncating it) refuses a target that
  // could not be written, just as writing it in place would, and tells its kind.
  FileHandle probe;
  ErrorCode code = OpenWith(target, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, probe);
  if (code != 0 && WindowsErrorBehindCode(code) == ERROR_SHARING_VIOLATION) {
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
  if (!exists && WindowsErrorBehindCode(code) != ERROR_FILE_NOT_FOUND) return code;

  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (exists) {
    if (TypeOfHandle(probe) != HandleType::Disk) {
      // Devices and pipes take the bytes as they come.
      file.handle = probe;
      file.direct = true;
      return 0;
    }
    // A link stays a link: the file it points to is the one replaced.
    std::string finalPath = win32::FinalPathOf(Native(probe));
    if (!finalPath.empty()) file.targetPath = finalPath;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(Native(probe), &info)) {
      attributes = info.dwFileAttributes & kInheritedAttributes;
      if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    }
    ::CloseHandle(Native(probe));
  }
  // A folder that takes no new file fails here, before the target is touched.
  code = CreateTemporaryBeside(file, attributes);
  if (code != 0) file.handle = kInvalidHandle;
  return code;
}

ErrorCode CommitReplacement(ReplacementFile& file) {
  if (file.handle == kInvalidHandle) return RecordFailure(ERROR_INVALID_HANDLE);
  file.keptBackup.clear();
  if (file.direct) {
    const FileHandle handle = file.handle;
    file.handle = kInvalidHandle;
    return CloseFileHandle(handle);
  }
  const ErrorCode code = PutInPlace(file);
  Discard(file);
  return code;
}

void AbandonReplacement(ReplacementFile& file) {
  Discard(file);
}

namespace in_place {

std::string BackupNameBeside(const std::string& target, int attempt) {
  return win32::BackupNameBeside(target, ::GetCurrentProcessId(), attempt);
}

ErrorCode CreateBackupFile(const std::string& name, FileHandle, FileHandle& handle,
                           bool& nameTaken) {
  const ErrorCode code =
      OpenWith(name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, handle, 0);
  nameTaken = code != 0 && IsNameTaken(code);
  return code;
}

ErrorCode RemoveFile(const std::string& name) {
  if (!::DeleteFileA(name.c_str())) return RecordLastError();
  return 0;
}

// The rename is written through; a folder has nothing of its own to flush here.
void FlushFolderOf(const std::string&) {}

}  // namespace in_place

}  // namespace platform
