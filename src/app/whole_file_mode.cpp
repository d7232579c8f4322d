#include "app/whole_file_mode.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "app/screen_messages.h"
#include "app/settings.h"
#include "app/whole_text.h"
#include "lib/oem.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/text_stream.h"

namespace {

// A byte 0 shortens the text without any other sign, and with -w that is the
// user's own file: always say so, -q or not.
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
  const std::int32_t pairs = std::min(SearchList->Count(), ReplaceList->Count());
  for (std::int32_t i = 0; i < pairs; ++i) {
    ApplyPair(text, spare, SearchList->Strings(i), ReplaceList->Strings(i), Settings.CaseSensitive,
              Settings.RegexMode);
  }
}

}  // namespace

void RunWholeFile() {
  if (!platform::RegularFileExists(Settings.InputFile)) {
    ShowSyntax();
    FailWith("File not found: " + Settings.InputFile);
  }
  if (Settings.WriteBack) Settings.OutputFile = Settings.InputFile;

  std::string text;
  std::size_t cut = LoadJoinedText(Settings.InputFile, Settings.ZeroBytesAllowed,
                                   static_cast<char>(Settings.ZeroSubstitute), text);
  if (cut != kNotCut) WarnCutInFile(cut);

  ApplyAllPairs(text);
  if (Settings.DosOutput) ToOemInPlace(text);

  const std::string_view lineEnd = Settings.UnixNewlines ? "\n" : "\r\n";
  cut = SplitAndEndLines(text, lineEnd);
  if (cut != kNotCut) WarnCutInProcessedText(cut);

  if (Settings.OutputFile.empty()) {
    WriteWholeText(OutputText(), Settings.Header, text, Settings.Footer, lineEnd);
  } else {
    WriteWholeTextToFile(Settings.OutputFile, Settings.Header, text, Settings.Footer, lineEnd);
  }
}
