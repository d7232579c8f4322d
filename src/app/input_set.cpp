#include "app/input_set.h"

#include <algorithm>
#include <set>
#include <utility>

#include "app/run_context.h"
#include "app/settings.h"
#include "app/whole_text.h"
#include "platform/files.h"
#include "platform/system.h"
#include "text/file_stream.h"

namespace {

// A name split into its folder (with the separator that ends it; empty for the
// current folder) and its last part.
std::pair<std::string, std::string> SplitAtFolder(const std::string& path) {
  const std::size_t end = path.find_last_of(platform::FolderSeparators());
  if (end == std::string::npos) return {std::string(), path};
  return {path.substr(0, end + 1), path.substr(end + 1)};
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const std::string_view separators = platform::FolderSeparators();
  if (separators.find(folder.back()) != std::string_view::npos) return folder + name;
  return folder + separators.front() + name;
}

bool Hidden(const std::string& name) {
  return !name.empty() && name.front() == '.';
}

// The files of the folder that match the pattern, and with recursive those of
// every folder below that may be entered.
void CollectMatches(const std::string& folder, const std::string& pattern, bool recursive,
                    std::vector<std::string>& found) {
  std::vector<platform::FolderEntry> entries;
  if (platform::ListFolder(folder, pattern, entries) == 0) {
    for (const platform::FolderEntry& entry : entries) {
      if (entry.kind == platform::EntryKind::File) found.push_back(InFolder(folder, entry.name));
    }
  }
  if (!recursive) return;
  if (platform::ListFolder(folder, "*", entries) != 0) return;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.kind != platform::EntryKind::Folder || Hidden(entry.name)) continue;
    CollectMatches(InFolder(folder, entry.name), pattern, true, found);
  }
}

bool IsFolder(const std::string& path) {
  const auto [folder, last] = SplitAtFolder(path);
  std::vector<platform::FolderEntry> entries;
  // Listing the folder itself with its own name as the pattern tells what it is.
  if (last.empty() || platform::HasWildcard(last)) return false;
  if (platform::ListFolder(folder, last, entries) != 0) return false;
  return std::any_of(entries.begin(), entries.end(), [](const platform::FolderEntry& entry) {
    return entry.kind == platform::EntryKind::Folder;
  });
}

// One name's files in byte order; the name itself when it names no folder to walk
// and has no wildcard, or when its wildcard matches nothing.
std::vector<std::string> FilesOfName(const std::string& name, bool recursive) {
  std::vector<std::string> found;
  if (name == kStandardStreamName) return {name};
  if (recursive && IsFolder(name)) {
    CollectMatches(name, "*", true, found);
  } else {
    const auto [folder, last] = SplitAtFolder(name);
    if (!platform::HasWildcard(last) || platform::HasWildcard(folder)) return {name};
    CollectMatches(folder, last, recursive, found);
    if (found.empty()) return {name};
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string ReadList(const std::string& listFile) {
  std::string text;
  ReadStreamText(
      listFile == kStandardStreamName ? FileStreamOnStandardInput() : FileStreamOpen(listFile),
      false, text);
  return text;
}

// A name given whole (from a list): no wildcard is expanded in it.
std::vector<std::string> FilesOfListedName(const std::string& name, bool recursive) {
  if (!recursive || !IsFolder(name)) return {name};
  std::vector<std::string> found;
  CollectMatches(name, "*", true, found);
  std::sort(found.begin(), found.end());
  return found;
}

// Adds the files not met before: two names of one file would process it twice.
void AddNew(const std::vector<std::string>& files, std::set<std::string>& seen,
            std::vector<std::string>& inputs) {
  for (const std::string& file : files) {
    std::string key = platform::FileIdentityKey(file);
    if (key.empty()) key = "name:" + file;  // nothing there: its run says so
    if (file == kStandardStreamName) key = "standard input";
    if (seen.insert(std::move(key)).second) inputs.push_back(file);
  }
}

}  // namespace

InputRequest InputRequestFrom(const TSettings& settings) {
  InputRequest request;
  if (!settings.InputFile.empty()) request.names.push_back(settings.InputFile);
  request.names.insert(request.names.end(), settings.MoreInputFiles.begin(),
                       settings.MoreInputFiles.end());
  request.listFile = settings.FilesFrom;
  request.recursive = settings.Recursive;
  return request;
}

bool NamesManyFiles(const InputRequest& request) {
  if (request.names.size() > 1 || !request.listFile.empty() || request.recursive) return true;
  return std::any_of(request.names.begin(), request.names.end(), [](const std::string& name) {
    return platform::HasWildcard(SplitAtFolder(name).second);
  });
}

std::vector<std::string> ListedNames(std::string_view listText) {
  std::vector<std::string> names;
  while (!listText.empty()) {
    const std::size_t end = listText.find('\n');
    std::string_view line = listText.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) names.emplace_back(line);
    if (end == std::string_view::npos) break;
    listText.remove_prefix(end + 1);
  }
  return names;
}

std::vector<std::string> ExpandInputs(const InputRequest& request) {
  std::vector<std::string> inputs;
  std::set<std::string> seen;
  for (const std::string& name : request.names) {
    AddNew(FilesOfName(name, request.recursive), seen, inputs);
  }
  if (request.listFile.empty()) return inputs;
  for (const std::string& name : ListedNames(ReadList(request.listFile))) {
    AddNew(FilesOfListedName(platform::FullPathOf(name), request.recursive), seen, inputs);
  }
  return inputs;
}
