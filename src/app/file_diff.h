// The preview of --diff: a unified diff of a file against the bytes a run would
// write over it, line by line with three lines of context, in the form patch
// reads. Lines are compared without their line ends; when the run only changes
// the style of the line ends (LF to CR LF, say) a note line says so instead of
// showing every line as changed.
//
// Neither text is held whole: the old one is read as it is needed, the new one
// arrives in pieces as the run makes it, and only the lines around the place
// being compared are kept (and the lines of the diff itself).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct DiffLook {
  bool colour = false;         // ANSI colours: removed red, added green, headers bold
  std::string lineEnd = "\n";  // ends the diff's own lines (headers, hunk heads, notes)
};

class FileDiff {
 public:
  // Reads up to size bytes of the old text into buffer; 0 at its end.
  using OldReader = std::function<std::size_t(char* buffer, std::size_t size)>;

  FileDiff(std::string name, OldReader readOld, DiffLook look = {});
  ~FileDiff();
  FileDiff(const FileDiff&) = delete;
  FileDiff& operator=(const FileDiff&) = delete;

  // The next bytes of the new text.
  void Add(std::string_view bytes);
  // The new text has ended: the whole preview (empty when the texts are the same
  // bytes).
  std::string Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The preview of name, whose bytes are before, against after.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const DiffLook& look = {});
