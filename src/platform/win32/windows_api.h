// The Windows API as every file of the Windows platform layer includes it: the
// lean header, and no min/max macros to clash with the standard library.
#pragma once

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
