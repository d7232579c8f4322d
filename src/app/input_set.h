// Which files a run reads: the names on the command line (a wildcard in a name's
// last part names every matching file of its folder), the names after "--", a list
// of names (--files-from=), and with --recursive every folder below as well.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TSettings;

struct InputRequest {
  std::vector<std::string> names;  // full paths, or "-" for standard input
  std::string listFile;            // --files-from=; "-": standard input; empty: none
  bool recursive = false;
};

InputRequest InputRequestFrom(const TSettings& settings);

// True when the request may name several files: more than one name, a wildcard,
// a list or --recursive. Such a run goes file by file; any other run is the one
// run of today.
bool NamesManyFiles(const InputRequest& request);

// The names of a list: one per line (LF or CR LF), empty lines skipped.
std::vector<std::string> ListedNames(std::string_view listText);

// The files the request names, in order: each name's files in byte order of their
// paths, then the next name's, a file that an earlier name reached left out. A
// name that matches nothing stays as it is (its run reports it as not found).
// Folders whose name starts with "." are not entered, links to folders not
// followed. Reads the list (EFOpenError, EReadError when it cannot be read).
std::vector<std::string> ExpandInputs(const InputRequest& request);
