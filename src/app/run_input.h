// The input of one run of a mode: a file, or standard input for the name "-".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "app/run_context.h"
#include "base/exceptions.h"
#include "text/file_stream.h"

// An input that names no file, raised when the run is one of many (a single run
// shows the syntax lines and the message, and ends).
QUORVE_FAILURE_CLASS(EInputNotFound, Exception);

// Makes sure the input can be read: standard input always can; a file must exist.
void CheckInputFound(const RunContext& context);
// The input opened for reading (EFOpenError when it cannot be).
std::unique_ptr<TFileStream> OpenRunInput(const RunContext& context);

// The input file read a second time, alongside the run that reads it (a preview
// or a count of changed lines compares the two); opened at the first read, so a
// missing input is the run's to report. A read failure raises EReadError.
class InputReadAgain {
 public:
  explicit InputReadAgain(std::string name) : name_(std::move(name)) {}
  std::size_t Read(char* buffer, std::size_t size);
  // Closes the input (before the run's result takes its place).
  void Close() { stream_.reset(); }

 private:
  std::string name_;
  std::unique_ptr<TFileStream> stream_;
};
