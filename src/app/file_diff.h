// The preview of --diff: a unified diff of a file against the bytes a run would
// write over it, line by line with three lines of context, in the form patch
// reads. Lines are compared without their line ends; when the run only changes
// the style of the line ends (LF to CR LF, say) a note line says so instead of
// showing every line as changed. Pure: text in, text out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One line of a text: its bytes and the line end that follows them (CR LF, LF,
// a lone CR, or nothing for an unended last line).
struct LineWithEnd {
  std::string_view text;
  std::string_view end;
};

// CR LF, a lone CR and a lone LF each end a line; a line end at the very end adds
// no empty line.
std::vector<LineWithEnd> SplitIntoLines(std::string_view text);

// The style of a text's line ends: "none", "LF", "CR LF", "CR" or "mixed".
std::string LineEndStyleOf(const std::vector<LineWithEnd>& lines);

struct DiffLook {
  bool colour = false;         // ANSI colours: removed red, added green, headers bold
  std::string lineEnd = "\n";  // ends the diff's own lines (headers, hunk heads, notes)
};

// The preview of name, whose bytes are before, against after; empty when they
// are the same bytes.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const DiffLook& look = {});
