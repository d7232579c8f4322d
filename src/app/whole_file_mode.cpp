#include "app/whole_file_mode.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "app/screen_messages.h"
#include "app/whole_text.h"
#include "oem/oem.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/text_stream.h"

namespace {

// A byte 0 shortens the text without any other sign, and with -w that is the
// user's own file: always say so, -q or not.
void WarnCutInFile(const RunContext& context, std::size_t offset) {
  platform::WriteStandardError("Warning: byte 0 at offset " + std::to_string(offset) + " of \"" +
                               context.inputFile +
                               "\": the rest of the text is dropped; -0 keeps it\r\n");
}

// A byte 0 that a pair produced (or that -0=x00 kept) ends the text when it is
// split into lines; -0 cannot help there.
void WarnCutInProcessedText(const RunContext& context, std::size_t offset) {
  platform::WriteStandardError("Warning: byte 0 at offset " + std::to_string(offset) +
                               " of the processed text of \"" + context.inputFile +
                               "\": the rest of the text is dropped\r\n");
}

void ApplyAllPairs(const RunContext& context, std::string& text) {
  std::string spare;
  for (const SearchReplacePair& pair : context.pairs) {
    ApplyPair(text, spare, pair.search, pair.replace, context.caseMode, context.searchKind);
  }
}

// When no pair can see or make a line end, the pairs give the same lines on the
// text with the file's own line ends, so the text is rewritten with CR LF only
// once, on the way out. A substitute CR, LF or 0 for byte 0 must be placed after
// the line ends are settled, so it takes the long way too.
bool LineEndsCanWaitUntilWriting(const RunContext& context, std::string_view text) {
  if (context.searchKind == SearchKind::Expression) return false;
  const char substitute = static_cast<char>(context.zeroSubstitute);
  if (context.zeroBytesAllowed && (substitute == '\r' || substitute == '\n' || substitute == 0)) {
    return false;
  }
  return LineEndsCanWait(text, context.pairs);
}

}  // namespace

void RunWholeFile(const RunContext& context) {
  if (!platform::RegularFileExists(context.inputFile)) {
    ShowSyntax();
    FailWith("File not found: " + context.inputFile);
  }
  const std::string& target = context.WholeFileTarget();

  std::string text;
  std::size_t cut = ReadFileText(context.inputFile, !context.zeroBytesAllowed, text);
  if (cut != kNotCut) WarnCutInFile(context, cut);
  if (!LineEndsCanWaitUntilWriting(context, text)) EndLinesWithCrLf(text);
  if (context.zeroBytesAllowed && context.zeroSubstitute != 0) {
    SubstituteZeroBytes(text, static_cast<char>(context.zeroSubstitute));
  }

  ApplyAllPairs(context, text);
  if (context.dosOutput) ToOemInPlace(text);

  const std::string_view lineEnd = context.unixNewlines ? "\n" : "\r\n";
  if (target.empty()) {
    cut = WriteWholeText(OutputText(), context.header, text, context.footer, lineEnd);
  } else {
    cut = WriteWholeTextToFile(target, context.header, text, context.footer, lineEnd);
  }
  if (cut != kNotCut) WarnCutInProcessedText(context, cut);
}
