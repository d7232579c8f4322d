// The program's arguments: 1..ArgumentCount() after the program name; Argument(0)
// is the full path of the program file.
#pragma once

#include <cstdint>
#include <string>

std::int32_t ArgumentCount();
std::string Argument(std::int32_t index);  // empty past the last one
