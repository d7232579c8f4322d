// Replacement files on Windows (files.h says what they promise).
//
// The new file is created beside the target under a random name and marked to be
// deleted when its last handle closes, so a run that is killed in any way (the
// system closes a dead process's handles) leaves nothing. The commit flushes it,
// takes the mark away and renames it over the target with MoveFileEx. A target with
// more links than one, alternate data streams, or an access list other than the one
// a new file gets from the folder is rewritten in place behind a backup instead
// (in_place_rewrite.h), so whom it lets in never changes.
// Between the mark's removal and the rename the name is registered for the console
// control handler. The attributes (hidden, system, archive) are given at creation.
#include "platform/win32/windows_api.h"
// The security calls need the base declarations first.
#include <aclapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <random>

#include "platform/files.h"
#include "platform/in_place_rewrite.h"
#include "platform/removal_on_interrupt.h"
#include "platform/replacement_steps.h"
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
    code = OpenWith(candidate, GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL, CREATE_NEW,
                    attributes, file.handle, kShareAll);
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

// Whether two access lists say the same (no list at all lets everyone in).
bool SameAccessList(PACL a, PACL b) {
  if (a == nullptr || b == nullptr) return a == b;
  ACL_SIZE_INFORMATION sizeA;
  ACL_SIZE_INFORMATION sizeB;
  if (!::GetAclInformation(a, &sizeA, sizeof sizeA, AclSizeInformation) ||
      !::GetAclInformation(b, &sizeB, sizeof sizeB, AclSizeInformation)) {
    return false;
  }
  return sizeA.AclBytesInUse == sizeB.AclBytesInUse && std::memcmp(a, b, sizeA.AclBytesInUse) == 0;
}

bool IsProtected(PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  return ::GetSecurityDescriptorControl(descriptor, &control, &revision) &&
         (control & SE_DACL_PROTECTED) != 0;
}

// Whether the new file lets in exactly whom the target lets in: the access list it
// got from its folder says the same as the target's. A target shared with one more
// account, or kept from one, says something else. (Setting the target's list on the
// new file is no way out: under an emulator it rewrites the POSIX mode, opening the
// file to more accounts.)
bool SameAccessAsTarget(const std::string& target, FileHandle newFile) {
  PACL targetList = nullptr;
  PSECURITY_DESCRIPTOR targetDescriptor = nullptr;
  if (::GetNamedSecurityInfoA(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &targetList, nullptr, &targetDescriptor) != ERROR_SUCCESS) {
    return false;
  }
  PACL newList = nullptr;
  PSECURITY_DESCRIPTOR newDescriptor = nullptr;
  const bool same =
      ::GetSecurityInfo(Native(newFile), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &newList, nullptr, &newDescriptor) == ERROR_SUCCESS &&
      SameAccessList(targetList, newList) &&
      IsProtected(targetDescriptor) == IsProtected(newDescriptor);
  if (newDescriptor != nullptr) ::LocalFree(newDescriptor);
  ::LocalFree(targetDescriptor);
  return same;
}

// Alternate data streams beside the file's own one, which a new file would not have.
bool HasNamedStreams(const std::string& target) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide.data(), length);
  WIN32_FIND_STREAM_DATA stream;
  HANDLE search = ::FindFirstStreamW(wide.c_str(), FindStreamInfoStandard, &stream, 0);
  if (search == INVALID_HANDLE_VALUE) return false;  // none, or a file system without them
  bool named = std::wcscmp(stream.cStreamName, L"::$DATA") != 0;
  while (!named && ::FindNextStreamW(search, &stream)) {
    named = std::wcscmp(stream.cStreamName, L"::$DATA") != 0;
  }
  ::FindClose(search);
  return named;
}

// A target whose identity the new file cannot take over keeps it: it gets the new
// bytes in place.
bool MustBeRewrittenInPlace(const std::string& target, const BY_HANDLE_FILE_INFORMATION& info,
                            FileHandle newFile) {
  return info.nNumberOfLinks > 1 || HasNamedStreams(target) || !SameAccessAsTarget(target, newFile);
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

namespace replacement_steps {

// MoveFileEx renames in one step (ReplaceFile would leave a moment without the
// target's name, which a kill could make last).
ErrorCode PutInPlace(ReplacementFile& file) {
  BY_HANDLE_FILE_INFORMATION target;
  const bool exists = win32::FileInformationOf(file.targetPath, target);
  // A folder that took the target's name meanwhile is no file to replace.
  if (exists && (target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return RecordFailure(ERROR_ACCESS_DENIED);
  }
  if (exists && MustBeRewrittenInPlace(file.targetPath, target, file.handle)) {
    if (ErrorCode code = FlushToDisk(file.handle)) return code;
    return RewriteInPlace(file.targetPath, file.handle, file.keptBackup);
  }
  if (ErrorCode code = FlushToDisk(file.handle)) return code;
  if (ErrorCode code = KeepTheNewFile(file)) return code;
  return MoveOverTarget(file);
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

ErrorCode NoFileToCommit() {
  return RecordFailure(ERROR_INVALID_HANDLE);
}

}  // namespace replacement_steps

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

void FlushFoldersOf(const std::vector<std::string>&) {}

}  // namespace platform
