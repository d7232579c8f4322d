// Substitution templates: "$n", "${n}", "$&" take the text of a match-table
// entry, "\c" gives c, everything else is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace regex_template {

// The match table as the library leaves it: start and end offsets (0-based) per
// entry, pairs of unset markers for unset entries.
struct MatchTable {
  std::string_view subject;
  const std::size_t* offsets = nullptr;
  std::uint32_t entries = 0;  // how many pairs offsets holds
};

// True when the template has nothing to expand and is copied as it is.
bool IsPlainText(std::string_view templ);

// One more than the highest entry the template refers to (entries above 14 give
// nothing); at least 1.
std::uint32_t EntriesReferenced(std::string_view templ);

// Measures the expansion, then writes it in one piece at the end of output.
void AppendExpansion(std::string& output, std::string_view templ, const MatchTable& table);

}  // namespace regex_template
