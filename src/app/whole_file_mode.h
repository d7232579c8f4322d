// The default mode: the whole file as one text, every pair applied to it.
#pragma once

void RunWholeFile();
