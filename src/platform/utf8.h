// Reading UTF-8 one character at a time. Pure functions, no OS calls.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The length of the valid UTF-8 character at the start of text (which must not be
// empty), with its code point in code; or, as a negative number, the length of the
// invalid stretch there (at least one byte). Overlong forms, surrogates and code
// points past U+10FFFF are invalid.
long Utf8CharacterAt(std::string_view text, char32_t& code);

// The UTF-8 bytes of a code point up to U+10FFFF.
std::string Utf8Bytes(char32_t code);

}  // namespace platform
