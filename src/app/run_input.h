// The input of one run of a mode: a file, or standard input for the name "-".
#pragma once

#include <memory>

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
