// The whole-text conventions of line lists: CR LF after every line when joined;
// CR LF, LF or CR end a line when split, and the first byte 0 ends the text.
#pragma once

#include <string>
#include <string_view>

#include "text/string_list.h"

std::string JoinLines(const TStringList& list);
void SplitIntoLines(TStringList& list, std::string_view text);
// EFOpenError when the file cannot be opened; the list is then untouched.
void LoadLines(TStringList& list, const std::string& fileName);
// EFCreateError / EWriteError; the target is replaced only when all bytes were written.
void SaveLines(const TStringList& list, const std::string& fileName);
