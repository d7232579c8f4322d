#include "app/whole_file_mode.h"

#include <string>

#include "app/screen_messages.h"
#include "app/whole_file_output.h"
#include "app/whole_file_stream.h"
#include "app/whole_text.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

// A byte 0 shortens the text without any other sign: always say so, -q or not.
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

}  // namespace

void RunWholeFile(const RunContext& context) {
  if (!platform::RegularFileExists(context.inputFile)) {
    ShowSyntax();
    FailWith("File not found: " + context.inputFile);
  }
  // An expression may match across the whole text, so it needs the text whole;
  // plain pairs run in blocks.
  const TextCuts cuts = context.searchKind == SearchKind::Expression ? ProcessWholeText(context)
                                                                     : StreamWholeFile(context);
  if (cuts.inFile != kNotCut) WarnCutInFile(context, cuts.inFile);
  if (cuts.inProcessedText != kNotCut) WarnCutInProcessedText(context, cuts.inProcessedText);
}
