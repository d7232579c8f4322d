// A file's identity (volume and file index), whatever path or link leads to it.
// Internal to the Windows platform layer.
#pragma once

#include "platform/win32/windows_api.h"

#include <functional>
#include <string>

namespace platform::win32 {

// Calls attempt (0 or a Windows error) again while the file it works on is busy for
// a moment: held without leave to share, or being replaced, by another run that
// checks or replaces it, a virus scanner or an indexer. Gives the last result.
DWORD RetriedWhileBusy(const std::function<DWORD()>& attempt);

// The file's information (identity, attributes, link count), asked again while the
// file is busy; false when the name leads to nothing that can be opened.
bool FileInformationOf(const std::string& name, BY_HANDLE_FILE_INFORMATION& info);

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b);

}  // namespace platform::win32
