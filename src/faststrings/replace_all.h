// Replace every occurrence, left to right, without overlap; the inserted text is
// never scanned again. The flag means case-sensitive.
#pragma once

#include <string>
#include <string_view>

std::string ReplaceAll(std::string_view source, std::string_view search, std::string_view replace,
                       bool caseSensitive);

// The same into a caller's buffer (its capacity is reused; source must not alias it).
// Returns false, leaving output untouched, when nothing was found; output then
// does not hold the result.
bool ReplaceAllInto(std::string& output, std::string_view source, std::string_view search,
                    std::string_view replace, bool caseSensitive);
