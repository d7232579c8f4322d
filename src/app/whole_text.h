// The whole-text way of whole-file mode, for regular expressions: a match may
// span the whole text, so the text is held in memory. The file is read into one
// buffer, its line ends settled in place, the pairs applied in turn, and the last
// pair's result handed to the output chain as its replace loop makes it, so the
// text is never held twice where once will do.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "app/run_context.h"
#include "app/whole_file_output.h"
#include "faststrings/fast_strings.h"
#include "text/file_stream.h"

// The file's bytes as they are. With cutAtZero the first byte 0 ends the text (one
// at the very start leaves one empty line) and its offset in the file is returned;
// otherwise, or when there is none, kNotCut. EFOpenError when the file cannot be
// opened, EReadError when reading it fails.
std::size_t ReadFileText(const std::string& fileName, bool cutAtZero, std::string& text);
// The same for a stream that is read to its end and closed.
std::size_t ReadStreamText(std::unique_ptr<TFileStream> stream, bool cutAtZero, std::string& text);
// CR LF after every line, in place: CR LF, a lone CR and a lone LF end a line, and
// a line end at the very end adds no empty line. Bytes 0 are ordinary bytes here.
void EndLinesWithCrLf(std::string& text);

// The text of a list loaded from the file and joined: CR LF after every line.
// Without keepZeroBytes the first byte 0 ends the text (its offset is returned);
// with it every byte 0 becomes substitute, and a substitute CR or LF stays inside
// its line.
// The line-list way of loading, kept as the reference the tests compare the passes with.
std::size_t LoadJoinedText(const std::string& fileName, bool keepZeroBytes, char substitute,
                           std::string& text);

// True when neither text holds CR, LF or 0: such a pair can neither match across a
// line end nor make one.
bool PairStaysWithinLines(std::string_view search, std::string_view replace);

// Applies one pair to the text, at most `most` matches. spare is a second buffer
// that may be swapped in. Returns how many matches were replaced.
std::size_t ApplyPair(std::string& text, std::string& spare, std::string_view search,
                      std::string_view replace, CaseMode caseMode, SearchKind kind,
                      std::size_t most = kEveryMatch);

// Whole-file mode on the text held whole (any search kind): the result goes to
// the context's output; returns where bytes 0 cut the text.
WholeFileResult ProcessWholeText(const RunContext& context);
