// The default mode: the whole file as one text, every pair applied to it.
#pragma once

#include "app/run_context.h"

void RunWholeFile(const RunContext& context);
