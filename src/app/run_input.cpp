#include "app/run_input.h"

#include "app/screen_messages.h"
#include "platform/files.h"

void CheckInputFound(const RunContext& context) {
  if (ReadsStandardInput(context)) return;
  if (!context.inputFile.empty() && platform::RegularFileExists(context.inputFile)) return;
  const std::string message = "File not found: " + context.inputFile;
  if (context.oneOfMany) throw EInputNotFound("Error: " + message);
  ShowSyntax();
  FailWith(message);
}

std::unique_ptr<TFileStream> OpenRunInput(const RunContext& context) {
  if (ReadsStandardInput(context)) return FileStreamOnStandardInput();
  return FileStreamOpen(context.inputFile);
}
