// The whole-text conventions of line lists: CR LF after every line when joined;
// CR LF, LF or CR end a line when split, and the first byte 0 ends the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/file_stream.h"
#include "text/string_list.h"

std::string JoinLines(const TStringList& list);
void SplitIntoLines(TStringList& list, std::string_view text);
// EFOpenError when the file cannot be opened; the list is then untouched.
void LoadLines(TStringList& list, const std::string& fileName);
// EFCreateError / EWriteError; the target is replaced only when all bytes were written.
// Named by the design; whole-file mode writes through its own passes instead.
void SaveLines(const TStringList& list, const std::string& fileName);

// Every line of the list followed by the separator, written to the stream in large
// pieces (the joined text is never held whole); EWriteError on a short write.
void WriteLinesTo(TFileStream& stream, const TStringList& list, std::string_view separator);

// Scanning helpers shared by the line readers of this folder.
// The first byte in [first, last) equal to a, b or c; last when there is none.
const char* FindAnyOf3(const char* first, const char* last, char a, char b, char c);
// How many bytes in [first, last) equal a or b.
std::size_t CountEither(const char* first, const char* last, char a, char b);
