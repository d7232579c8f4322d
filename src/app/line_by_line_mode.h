// The streaming mode: one line read, processed and written at a time, so memory
// holds the longest line plus buffers whatever the size of the file.
#pragma once

#include <cstdint>

#include "app/run_context.h"

// How many lines a run processes for a given -n= value: the value itself when it is
// 1 or more, one line for 0 or less, and no limit for the default (largest) value.
std::int64_t LinesToProcess(std::int32_t lineLimit);

// Returns what the run did (replacements per pair, lines changed); with -k=n each
// pair replaces at most n matches in each line.
FileOutcome RunLineByLine(const RunContext& context);
