// The default mode: the whole file as one text, every pair applied to it.
#pragma once

#include "app/run_context.h"

// Returns what the run did (replacements per pair, lines changed when counted).
FileOutcome RunWholeFile(const RunContext& context);
