// Turns the program's arguments into the settings record and the pair lists.
#pragma once

#include <string_view>

// Reads arguments 1..ArgumentCount(); a third file name shows the help page (exit 0).
void ParseCommandLine();
// Whether the wrapped, lower-cased key ("|" + key + "|") occurs in an alias list.
bool MatchesAlias(std::string_view aliasList, std::string_view key);
