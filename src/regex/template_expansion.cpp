#include "regex/template_expansion.h"

#include <algorithm>
#include <cstring>

#include "regex/tree.h"

namespace regex_template {

namespace {

// Above every entry number; a run of digits past this stays past it.
constexpr std::uint64_t kNoEntry = 1000;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// One step of reading a template: either a group reference or literal bytes.
struct Token {
  std::size_t length = 0;  // template bytes read
  bool isReference = false;
  std::uint64_t entry = 0;  // for a reference
  std::string_view literal;
};

// Reads the reference after a "$" at templ[at]; length 0 when there is none.
Token ReadReference(std::string_view templ, std::size_t at) {
  Token token;
  std::size_t p = at + 1;
  const bool braced = p < templ.size() && templ[p] == '{';
  if (braced) ++p;
  std::uint64_t entry = 0;
  if (p < templ.size() && templ[p] == '&') {
    ++p;
  } else if (p < templ.size() && IsDigit(templ[p])) {
    while (p < templ.size() && IsDigit(templ[p])) {
      entry = entry * 10 + static_cast<std::uint64_t>(templ[p] - '0');
      if (entry > kNoEntry) entry = kNoEntry;
      ++p;
    }
  } else if (!braced) {
    return token;  // "$" followed by neither "&", a digit nor "{"
  }
  if (braced) {
    if (p >= templ.size() || templ[p] != '}') return token;
    ++p;
  }
  token.length = p - at;
  token.isReference = true;
  token.entry = entry;
  return token;
}

Token NextToken(std::string_view templ, std::size_t at) {
  const char c = templ[at];
  if (c == '$') {
    Token reference = ReadReference(templ, at);
    if (reference.length > 0) return reference;
  } else if (c == '\\' && at + 1 < templ.size()) {
    Token escaped;
    escaped.length = 2;
    escaped.literal = templ.substr(at + 1, 1);
    return escaped;
  }
  // A run of bytes that need no reading, up to the next "$" or "\".
  std::size_t end = at + 1;
  while (end < templ.size() && templ[end] != '$' && templ[end] != '\\') ++end;
  Token plain;
  plain.length = end - at;
  plain.literal = templ.substr(at, end - at);
  return plain;
}

std::string_view EntryText(const MatchTable& table, std::uint64_t entry) {
  if (entry > regex_tree::kMaxGroups || entry >= table.entries) return {};
  const std::size_t start = table.offsets[2 * entry];
  const std::size_t end = table.offsets[2 * entry + 1];
  if (start > table.subject.size() || end > table.subject.size() || end < start) return {};
  return table.subject.substr(start, end - start);
}

std::string_view TokenText(const Token& token, const MatchTable& table) {
  return token.isReference ? EntryText(table, token.entry) : token.literal;
}

}  // namespace

bool IsPlainText(std::string_view templ) {
  return templ.find_first_of("$\\") == std::string_view::npos;
}

std::uint32_t EntriesReferenced(std::string_view templ) {
  std::uint32_t entries = 1;
  for (std::size_t at = 0; at < templ.size();) {
    const Token token = NextToken(templ, at);
    if (token.isReference && token.entry <= regex_tree::kMaxGroups) {
      entries = std::max(entries, static_cast<std::uint32_t>(token.entry) + 1);
    }
    at += token.length;
  }
  return entries;
}

void AppendExpansion(std::string& output, std::string_view templ, const MatchTable& table) {
  std::size_t total = 0;
  for (std::size_t at = 0; at < templ.size();) {
    const Token token = NextToken(templ, at);
    total += TokenText(token, table).size();
    at += token.length;
  }
  std::size_t write = output.size();
  output.resize(write + total);
  for (std::size_t at = 0; at < templ.size();) {
    const Token token = NextToken(templ, at);
    const std::string_view text = TokenText(token, table);
    if (!text.empty()) std::memcpy(output.data() + write, text.data(), text.size());
    write += text.size();
    at += token.length;
  }
}

}  // namespace regex_template
