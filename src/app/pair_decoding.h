// Decoding of search/replace texts and header/footer values: a text naming an
// existing file stands for its content, then escape sequences are decoded.
#pragma once

#include <string>
#include <string_view>

void AddPair(std::string_view search, std::string_view replace);
std::string FileTextOr(std::string_view text);
// Reads Settings.RegexMode at the moment of the call.
std::string DecodeEscapes(std::string_view text);
// The header rule for -h= and -f=: FileTextOr, then DecodeEscapes.
std::string DecodeFileOrText(std::string_view value);
