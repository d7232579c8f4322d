// The streaming mode: one line read, processed and written at a time.
#pragma once

void RunLineByLine();
