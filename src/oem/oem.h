// The fixed conversion of a few Western European letters from code page 1252 to
// the DOS console code page 850; every other byte passes unchanged.
#pragma once

#include <string>
#include <string_view>

// Named by the design; the tool itself converts in place (ToOemInPlace).
unsigned char ToOemChar(unsigned char c);
std::string ToOemText(std::string_view text);
// In place, for large texts.
void ToOemInPlace(std::string& text);
