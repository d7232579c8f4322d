// Facts about the running program (its file, folder, name, time zone, computer),
// the message pump, and the helpers that cut paths and fields into parts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

extern std::string ModuleFileName;  // full file name of the running program
extern std::string ProgramFolder;   // its folder, ending with a separator
extern std::string ProgramName;     // its file name cut by the 12-character rule
extern double TimeZoneBias;         // UTC minus local time, in days
extern bool DaylightActive;

// Fills the values above; registers the shutdown. First of the tool's modules.
void LibStartUp();
// Releases the strings (registered by LibStartUp).
void LibShutDown();

// The file-name part with up to 12 characters deleted from its first ".".
std::string ProgramNameFrom(std::string_view fileNamePart);

// Everything up to and including the last "\", "/" or ":" (empty when there is none).
std::string_view FolderPartOf(std::string_view path);
// Everything after the last "\", "/" or ":" (the whole path when there is none).
std::string_view FileNamePartOf(std::string_view path);

// Turns a folder into its full form; empty when it cannot be expanded.
using FullPathFunction = std::string (*)(std::string_view name);
// The folder part of a program file name, expanded, without a leading "\\?\", and
// ending with a separator.
std::string ProgramFolderFrom(std::string_view moduleFileName, FullPathFunction expand);
// The separator a folder uses: its last "/" or "\" ("\" when it has neither).
char FolderSeparator(std::string_view folder);

void PumpMessages();
std::string ComputerName();
// File name without folder ("\", "/" or ":") and without its last extension.
std::string FileBaseName(std::string_view path);
// Field index (1-based; negative counts from the right) of a separator-delimited text.
std::string Token(std::string_view text, std::int32_t index, char separator);
