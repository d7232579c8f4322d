// A file's identity (volume and file index), whatever path or link leads to it.
// Internal to the Windows platform layer.
#pragma once

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace platform::win32 {

// The file's information (identity, attributes, link count); false when the name
// leads to nothing that can be opened.
bool FileInformationOf(const std::string& name, BY_HANDLE_FILE_INFORMATION& info);

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b);

}  // namespace platform::win32
