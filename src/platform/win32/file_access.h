// Opening files by name, as the Windows file modules share it. Internal to the
// Windows platform layer.
#pragma once

#include "platform/win32/windows_api.h"

#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform::win32 {

// Other processes may read an opened file but never write it.
constexpr DWORD kShareReadOnly = FILE_SHARE_READ;
// Held open by a writer that lets other writers in (see CreateForWriting).
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Lets everyone in, deleting and renaming too.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline HANDLE Native(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

inline FileHandle Wrapped(HANDLE handle) {
  return reinterpret_cast<FileHandle>(handle);
}

// Names are passed to the system as C strings: an embedded NUL would silently name
// another file, so such a name names nothing.
bool UsableName(std::string_view name);

// CreateFileA; 0 and the handle, or the failure's code.
ErrorCode OpenWith(const std::string& name, DWORD access, DWORD disposition, DWORD attributes,
                   FileHandle& handle, DWORD share = kShareReadOnly);

// The path of the file a handle finally names (links and junctions followed); a
// drive path loses the \\?\ prefix that the system puts in front. Empty when the
// system cannot say.
std::string FinalPathOf(HANDLE handle);

}  // namespace platform::win32
