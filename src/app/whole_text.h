// The stages of whole-file mode as passes over one large text buffer, so a big
// file never becomes millions of separate line strings. Each stage gives the same
// bytes as its line-list counterpart (load into a list and join; split and write
// with a chosen line end).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_stream.h"

constexpr std::size_t kNotCut = std::string::npos;

// The file's text with CR LF after every line, as a list loaded from the file and
// joined would hold it. Without keepZeroBytes the first byte 0 ends the text and
// its offset in the file is returned; with it every byte 0 becomes substitute
// (a substitute CR or LF stays inside its line) and nothing is cut. Returns
// kNotCut when nothing was cut. EFOpenError when the file cannot be opened.
std::size_t LoadJoinedText(const std::string& fileName, bool keepZeroBytes, char substitute,
                           std::string& text);

// Replaces the text by its lines, each followed by lineEnd (CR LF or LF): CR LF,
// a lone CR and a lone LF end a line, a line end at the very end adds no empty
// line, and the first byte 0 ends the text. Returns the offset of that byte 0,
// or kNotCut.
std::size_t SplitAndEndLines(std::string& text, std::string_view lineEnd);

// Applies one pair to the text. spare is a second buffer that may be swapped in.
void ApplyPair(std::string& text, std::string& spare, std::string_view search,
               std::string_view replace, bool caseSensitive, bool regexMode);

// Writes header and footer (each followed by lineEnd, when not empty) around the
// already line-ended text. To a stream the last piece is written as a line, so one
// CR LF follows everything; a file is replaced only once every byte is written.
void WriteWholeText(TextStream& stream, std::string_view header, std::string_view text,
                    std::string_view footer, std::string_view lineEnd);
void WriteWholeTextToFile(const std::string& fileName, std::string_view header,
                          std::string_view text, std::string_view footer, std::string_view lineEnd);
