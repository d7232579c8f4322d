#include "app/whole_file_mode.h"

#include <string>

#include "app/run_input.h"
#include "app/screen_messages.h"
#include "app/whole_file_output.h"
#include "app/whole_file_stream.h"
#include "app/whole_text.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

// A file name may hold bytes a terminal would take for controls.
std::string NameOnStandardError(const std::string& name) {
  return platform::TextForStream(platform::StandardError(), name);
}

// A byte 0 shortens the text without any other sign: always say so, -q or not.
void WarnCutInFile(const RunContext& context, std::size_t offset) {
  platform::WriteStandardError("Warning: byte 0 at offset " + std::to_string(offset) + " of \"" +
                               NameOnStandardError(context.inputFile) +
                               "\": the rest of the text is dropped; -0 keeps it\r\n");
}

// A byte 0 that a pair produced (or that -0=x00 kept) ends the text when it is
// split into lines; -0 cannot help there.
void WarnCutInProcessedText(const RunContext& context, std::size_t offset) {
  platform::WriteStandardError(
      "Warning: byte 0 at offset " + std::to_string(offset) + " of the processed text of \"" +
      NameOnStandardError(context.inputFile) + "\": the rest of the text is dropped\r\n");
}

}  // namespace

FileOutcome RunWholeFile(const RunContext& context) {
  CheckInputFound(context);
  // Held from before the input is read until the target is replaced.
  const std::string& target = context.WholeFileTarget();
  const platform::TargetLock lock(target, [&] { ShowWaitingFor(target); });
  // An expression may match across the whole text, so it needs the text whole;
  // plain pairs run in blocks.
  const WholeFileResult result = context.searchKind == SearchKind::Expression
                                     ? ProcessWholeText(context)
                                     : StreamWholeFile(context);
  const TextCuts& cuts = result.cuts;
  if (cuts.inFile != kNotCut) WarnCutInFile(context, cuts.inFile);
  if (cuts.inProcessedText != kNotCut) WarnCutInProcessedText(context, cuts.inProcessedText);
  return {context.InputShownAs(), result.replacements, result.linesChanged};
}
