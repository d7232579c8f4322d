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

std::size_t InputReadAgain::Read(char* buffer, std::size_t size) {
  if (!stream_) stream_ = FileStreamOpen(name_);
  const std::size_t got = stream_->Read(buffer, size);
  if (stream_->ReadFailure() != 0) throw EReadError("Stream read error");
  return got;
}
