#include "app/whole_file_mode.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "app/screen_messages.h"
#include "app/settings.h"
#include "app/whole_text.h"
#include "oem/oem.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/text_stream.h"

namespace {

// A byte 0 shortens the text without any other sign, and with -w that is the
// user's own file: always say so, -q or not.
std::int32_t PairCount() {
  return std::min(SearchList->Count(), ReplaceList->Count());
}

void WarnCutInFile(std::size_t offset) {
  platform::WriteStandardError("Warning: byte 0 at offset " + std::to_string(offset) + " of \"" +
                               Settings.InputFile +
                               "\": the rest of the text is dropped; -0 keeps it\r\n");
}

// A byte 0 that a pair produced (or that -0=x00 kept) ends the text when it is
// split into lines; -0 cannot help there.
void WarnCutInProcessedText(std::size_t offset) {
  platform::WriteStandardError("Warning: byte 0 at offset " + std::to_string(offset) +
                               " of the processed text of \"" + Settings.InputFile +
                               "\": the rest of the text is dropped\r\n");
}

void ApplyAllPairs(std::string& text) {
  std::string spare;
  const std::int32_t pairs = PairCount();
  for (std::int32_t i = 0; i < pairs; ++i) {
    ApplyPair(text, spare, SearchList->Strings(i), ReplaceList->Strings(i), Settings.CaseSensitive,
              Settings.RegexMode);
  }
}

// When no pair can see or make a line end, the pairs give the same lines on the
// text with the file's own line ends, so the text is rewritten with CR LF only
// once, on the way out. A substitute CR, LF or 0 for byte 0 must be placed after
// the line ends are settled, so it takes the long way too.
bool LineEndsCanWaitUntilWriting(std::string_view text) {
  if (Settings.RegexMode) return false;
  const char substitute = static_cast<char>(Settings.ZeroSubstitute);
  if (Settings.ZeroBytesAllowed && (substitute == '\r' || substitute == '\n' || substitute == 0)) {
    return false;
  }
  return LineEndsCanWait(text, *SearchList, *ReplaceList);
}

}  // namespace

void RunWholeFile() {
  if (!platform::RegularFileExists(Settings.InputFile)) {
    ShowSyntax();
    FailWith("File not found: " + Settings.InputFile);
  }
  if (Settings.WriteBack) Settings.OutputFile = Settings.InputFile;

  std::string text;
  std::size_t cut = ReadFileText(Settings.InputFile, !Settings.ZeroBytesAllowed, text);
  if (cut != kNotCut) WarnCutInFile(cut);
  if (!LineEndsCanWaitUntilWriting(text)) EndLinesWithCrLf(text);
  if (Settings.ZeroBytesAllowed && Settings.ZeroSubstitute != 0) {
    SubstituteZeroBytes(text, static_cast<char>(Settings.ZeroSubstitute));
  }

  ApplyAllPairs(text);
  if (Settings.DosOutput) ToOemInPlace(text);

  const std::string_view lineEnd = Settings.UnixNewlines ? "\n" : "\r\n";
  if (Settings.OutputFile.empty()) {
    cut = WriteWholeText(OutputText(), Settings.Header, text, Settings.Footer, lineEnd);
  } else {
    cut =
        WriteWholeTextToFile(Settings.OutputFile, Settings.Header, text, Settings.Footer, lineEnd);
  }
  if (cut != kNotCut) WarnCutInProcessedText(cut);
}
