// Turns the program's arguments into the settings record and the pair lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reads arguments 1..ArgumentCount(); a third file name shows the help page (exit 0).
void ParseCommandLine();
// The same over a given argument list (the arguments after the program name), left
// to right; the pair lists must exist.
void ParseArguments(const std::vector<std::string>& arguments);
// Whether the wrapped, lower-cased key ("|" + key + "|") occurs in an alias list.
bool MatchesAlias(std::string_view aliasList, std::string_view key);

// The fixed pair sets that two flags append verbatim (no escape decoding).
void AppendLetterPairs();
void AppendFixPairs();
