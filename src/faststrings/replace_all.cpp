#include "faststrings/replace_all.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/exceptions.h"
#include "faststrings/fast_strings.h"
#include "faststrings/window_scan.h"
#include "platform/byte_buffer.h"

namespace {

// A finished result that uses less than half its buffer gives the rest back once
// the buffer is this large; smaller ones are not worth the copy.
constexpr std::size_t kShrinkMinimum = std::size_t{1} << 20;

constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

// Matches are fetched this many at a time: dense matches (a frequent byte)
// then cost one search call per batch instead of one per match.
constexpr std::size_t kBatch = 64;

struct MatchList {
  const char* matches[kBatch];
  std::size_t count = 0;
};

std::size_t CountMatches(const PatternScan& scan, const char* from, const char* end) {
  const auto m = static_cast<std::size_t>(scan.length);
  MatchList list;
  std::size_t total = 0;
  for (;;) {
    list.count =
        FindMatches(scan, from, static_cast<std::size_t>(end - from), list.matches, kBatch);
    total += list.count;
    if (list.count < kBatch) return total;
    from = list.matches[kBatch - 1] + m;
  }
}

// sourceLength + matches * growth, or kUnbounded when that does not fit.
std::size_t GrownLength(std::size_t sourceLength, std::size_t matches, std::size_t growth) {
  std::size_t extra = 0;
  std::size_t total = 0;
  if (__builtin_mul_overflow(matches, growth, &extra) ||
      __builtin_add_overflow(sourceLength, extra, &total)) {
    return kUnbounded;
  }
  return total;
}

// The output length the buffer must hold. A replacement no longer than the
// search cannot make the output longer than the source. A longer one would in
// the worst case (every stretch a match) need source * replace / search bytes,
// which for a large file can be gigabytes: the matches are counted instead,
// unless the caller's buffer already holds the worst case.
std::size_t OutputLength(const PatternScan& scan, const MatchList& first, const char* end,
                         std::size_t sourceLength, std::size_t replaceLength,
                         std::size_t available) {
  const auto m = static_cast<std::size_t>(scan.length);
  if (replaceLength <= m) return sourceLength;
  const std::size_t growth = replaceLength - m;
  const std::size_t worst = GrownLength(sourceLength, sourceLength / m, growth);
  if (worst <= available) return worst;
  std::size_t matches = first.count;
  if (first.count == kBatch) matches += CountMatches(scan, first.matches[kBatch - 1] + m, end);
  return GrownLength(sourceLength, matches, growth);
}

// Empties output and makes room for length bytes without copying what it held.
void PrepareOutput(std::string& output, std::size_t length) {
  output.clear();
  if (length <= output.capacity()) return;
  try {
    if (length == kUnbounded) throw std::length_error("output too long");
    platform::ReserveBytes(output, length);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
}

// Writes the source with every match replaced. `list` holds the first batch.
void ReplaceMatches(std::string& output, const PatternScan& scan, MatchList& list, const char* read,
                    const char* end, std::string_view replace) {
  const auto m = static_cast<std::size_t>(scan.length);
  for (;;) {
    for (std::size_t i = 0; i < list.count; ++i) {
      output.append(read, static_cast<std::size_t>(list.matches[i] - read));
      output.append(replace);
      read = list.matches[i] + m;
    }
    if (list.count < kBatch) break;
    list.count =
        FindMatches(scan, read, static_cast<std::size_t>(end - read), list.matches, kBatch);
  }
  output.append(read, static_cast<std::size_t>(end - read));
}

// The same without the replacement; kept apart because deleting (CR LF to
// nothing, say) is common and this loop has one copy per match.
void DeleteMatches(std::string& output, const PatternScan& scan, MatchList& list, const char* read,
                   const char* end) {
  const auto m = static_cast<std::size_t>(scan.length);
  for (;;) {
    for (std::size_t i = 0; i < list.count; ++i) {
      output.append(read, static_cast<std::size_t>(list.matches[i] - read));
      read = list.matches[i] + m;
    }
    if (list.count < kBatch) break;
    list.count =
        FindMatches(scan, read, static_cast<std::size_t>(end - read), list.matches, kBatch);
  }
  output.append(read, static_cast<std::size_t>(end - read));
}

// Whether a search can match at all; a search text of 2 GiB or more cannot be
// used, since a skip table holds 32-bit shifts.
bool Searchable(std::string_view source, std::string_view search) {
  if (source.empty() || search.empty() || search.size() > source.size()) return false;
  if (search.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw Exception("Search text too long");
  }
  return true;
}

// Every match of a searchable source replaced into output; false when none.
bool ReplaceWithScan(std::string& output, const PatternScan& scan, std::string_view source,
                     std::string_view replace) {
  const char* read = source.data();
  const char* end = read + source.size();
  MatchList list;
  list.count = FindMatches(scan, read, source.size(), list.matches, kBatch);
  if (list.count == 0) return false;

  PrepareOutput(output,
                OutputLength(scan, list, end, source.size(), replace.size(), output.capacity()));
  if (replace.empty()) {
    DeleteMatches(output, scan, list, read, end);
  } else {
    ReplaceMatches(output, scan, list, read, end, replace);
  }
  return true;
}

// A search of 2 GiB or more gets no scan (a skip table holds 32-bit shifts);
// Searchable refuses it where it could match.
bool Preparable(std::string_view search) {
  return !search.empty() && search.size() <= static_cast<std::size_t>(INT32_MAX);
}

// Every match of a search folded by Unicode's rules replaced into output (its
// capacity reused); false, output untouched, when there is none. Matches differ
// in length, so the output grows as it goes.
bool ReplaceUnicodeInto(std::string& output, const UnicodeFoldedSearch& search,
                        std::string_view source, std::string_view replace) {
  UnicodeFoldedSearch::Match match;
  if (source.empty() || !search.Find(source, 0, match)) return false;
  try {
    output.clear();
    std::size_t read = 0;
    do {
      output.append(source.substr(read, match.offset - read));
      output.append(replace);
      read = match.offset + match.length;
    } while (search.Find(source, read, match));
    output.append(source.substr(read));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
  return true;
}

}  // namespace

bool ReplaceAllInto(std::string& output, std::string_view source, std::string_view search,
                    std::string_view replace, CaseMode caseMode) {
  if (NeedsUnicodeFolding(search, caseMode)) {
    return ReplaceUnicodeInto(output, UnicodeFoldedSearch(search), source, replace);
  }
  if (!Searchable(source, search)) return false;
  PreparedSearch prepared(search, caseMode);
  return ReplaceWithScan(output, prepared.scan, source, replace);
}

PreparedReplacement::PreparedReplacement(std::string_view search, std::string_view replace,
                                         CaseMode caseMode)
    : search_(search), replace_(replace) {
  if (NeedsUnicodeFolding(search_, caseMode)) {
    unicode_ = std::make_unique<UnicodeFoldedSearch>(search_);
  } else if (Preparable(search_)) {
    scan_ = PrepareScan(search_, caseMode, table_);
  }
}

const char* PreparedReplacement::FindIn(std::string_view text) const {
  if (unicode_) {
    UnicodeFoldedSearch::Match match;
    return unicode_->Find(text, 0, match) ? text.data() + match.offset : nullptr;
  }
  if (!Searchable(text, search_)) return nullptr;
  return FindFirst(scan_, text.data(), text.size());
}

bool PreparedReplacement::ReplaceInto(std::string& output, std::string_view source) const {
  if (unicode_) return ReplaceUnicodeInto(output, *unicode_, source, replace_);
  if (!Searchable(source, search_)) return false;
  return ReplaceWithScan(output, scan_, source, replace_);
}

std::size_t PreparedReplacement::ShortestMatchLength() const {
  return unicode_ ? unicode_->ShortestMatch() : search_.size();
}

bool ReplaceAllInPlace(std::string& text, std::string_view search, std::string_view replace,
                       CaseMode caseMode) {
  if (replace.size() > search.size() || NeedsUnicodeFolding(search, caseMode)) {
    std::string result;
    if (!ReplaceAllInto(result, text, search, replace, caseMode)) return false;
    text.swap(result);
    return true;
  }
  if (!Searchable(text, search)) return false;
  const PreparedSearch prepared(search, caseMode);
  char* const base = text.data();
  const char* const end = base + text.size();
  const auto [write, read] = ReplaceMatchesInPlace(prepared.scan, base, end, replace);
  if (read == base) return false;
  const auto rest = static_cast<std::size_t>(end - read);
  if (write != read) std::memmove(write, read, rest);
  text.resize(static_cast<std::size_t>(write - base) + rest);
  return true;
}

// The write position never passes the read position (the replacement is not
// longer than the search), so bytes still to be searched are never overwritten.
InPlaceProgress ReplaceMatchesInPlace(const PatternScan& scan, char* begin, const char* end,
                                      std::string_view replace) {
  const auto m = static_cast<std::size_t>(scan.length);
  char* write = begin;
  const char* read = begin;
  MatchList list;
  do {
    list.count =
        FindMatches(scan, read, static_cast<std::size_t>(end - read), list.matches, kBatch);
    for (std::size_t i = 0; i < list.count; ++i) {
      const auto gap = static_cast<std::size_t>(list.matches[i] - read);
      if (write != read) std::memmove(write, read, gap);
      write += gap;
      if (!replace.empty()) std::memcpy(write, replace.data(), replace.size());
      write += replace.size();
      read = list.matches[i] + m;
    }
  } while (list.count == kBatch);
  return {write, read};
}

std::string ReplaceAll(std::string_view source, std::string_view search, std::string_view replace,
                       CaseMode caseMode) {
  std::string result;
  if (!ReplaceAllInto(result, source, search, replace, caseMode)) {
    try {
      return std::string(source);
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory();
    }
  }
  if (result.capacity() >= kShrinkMinimum && result.size() < result.capacity() / 2) {
    result.shrink_to_fit();
  }
  return result;
}
