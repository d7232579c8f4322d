// The stages of whole-file mode as passes over one large text buffer, so a big
// file never becomes millions of separate line strings. Each stage gives the same
// bytes as its line-list counterpart (load into a list and join; split and write
// with a chosen line end).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_context.h"
#include "faststrings/fast_strings.h"
#include "text/string_list.h"
#include "text/text_stream.h"

constexpr std::size_t kNotCut = std::string::npos;

// The file's bytes as they are. With cutAtZero the first byte 0 ends the text (one
// at the very start leaves one empty line) and its offset in the file is returned;
// otherwise, or when there is none, kNotCut. EFOpenError when the file cannot be
// opened, EReadError when reading it fails.
std::size_t ReadFileText(const std::string& fileName, bool cutAtZero, std::string& text);
// CR LF after every line, in place: CR LF, a lone CR and a lone LF end a line, and
// a line end at the very end adds no empty line. Bytes 0 are ordinary bytes here.
void EndLinesWithCrLf(std::string& text);
void SubstituteZeroBytes(std::string& text, char substitute);

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
// True when the pairs give the same lines whether they run on the text with its
// own line ends or with CR LF everywhere: every pair stays within lines, and no
// line that would then mean something else can be emptied: one between a lone CR
// and a lone LF (the two would become one CR LF) or an unended last line (it would
// be gone). So every replacement is non-empty, or the text has no lone CR and ends
// with a line end.
bool LineEndsCanWait(std::string_view text, const std::vector<SearchReplacePair>& pairs);

// Applies one pair to the text. spare is a second buffer that may be swapped in.
void ApplyPair(std::string& text, std::string& spare, std::string_view search,
               std::string_view replace, CaseMode caseMode, SearchKind kind);

using ByteSink = std::function<void(std::string_view)>;

// Passes every line of the text followed by lineEnd to the sink, in large pieces:
// CR LF, a lone CR and a lone LF end a line, a line end at the very end adds no
// empty line, and the first byte 0 ends the text. Returns the offset of that byte
// 0, or kNotCut.
std::size_t WriteLines(const ByteSink& sink, std::string_view text, std::string_view lineEnd);

// The lines of the text between header and footer (each followed by lineEnd when
// not empty, written unchanged). To a stream one more CR LF follows everything; a
// file is replaced only once every byte is written. Both return what WriteLines
// returns.
std::size_t WriteWholeText(TextStream& stream, std::string_view header, std::string_view text,
                           std::string_view footer, std::string_view lineEnd);
std::size_t WriteWholeTextToFile(const std::string& fileName, std::string_view header,
                                 std::string_view text, std::string_view footer,
                                 std::string_view lineEnd);
