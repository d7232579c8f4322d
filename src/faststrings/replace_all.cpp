#include "faststrings/replace_all.h"

#include <algorithm>
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

std::size_t CountMatches(const PatternScan& scan, const char* from, const char* end) {
  const auto m = static_cast<std::size_t>(scan.length);
  MatchList list;
  std::size_t total = 0;
  for (;;) {
    list.count = FindMatches(scan, from, static_cast<std::size_t>(end - from), list.matches,
                             MatchList::kBatch);
    total += list.count;
    if (list.count < MatchList::kBatch) return total;
    from = list.matches[MatchList::kBatch - 1] + m;
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
                         std::size_t sourceLength, std::size_t replaceLength, std::size_t available,
                         std::size_t most) {
  const auto m = static_cast<std::size_t>(scan.length);
  if (replaceLength <= m) return sourceLength;
  const std::size_t growth = replaceLength - m;
  const std::size_t worst = GrownLength(sourceLength, std::min(sourceLength / m, most), growth);
  if (worst <= available) return worst;
  std::size_t matches = first.count;
  if (first.MayHaveMore()) matches += CountMatches(scan, first.matches[first.count - 1] + m, end);
  return GrownLength(sourceLength, std::min(matches, most), growth);
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

// Writes the source with up to `most` matches replaced. `list` holds the first
// batch. Returns how many were replaced. Deleting (CR LF to nothing, say) is
// common, so it has a loop of its own with one copy per match.
template <bool kDeletes>
std::size_t ReplaceMatches(std::string& output, const PatternScan& scan, MatchList& list,
                           const char* read, const char* end, std::string_view replace,
                           std::size_t most) {
  const auto m = static_cast<std::size_t>(scan.length);
  std::size_t replaced = 0;
  for (;;) {
    for (std::size_t i = 0; i < list.count; ++i) {
      output.append(read, static_cast<std::size_t>(list.matches[i] - read));
      if constexpr (!kDeletes) output.append(replace);
      read = list.matches[i] + m;
    }
    replaced += list.count;
    if (!list.MayHaveMore()) break;
    list.Fetch(scan, read, end, most - replaced);
  }
  output.append(read, static_cast<std::size_t>(end - read));
  return replaced;
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

// Up to `most` matches of a searchable source replaced into output; returns how
// many (0: output untouched).
std::size_t ReplaceWithScan(std::string& output, const PatternScan& scan, std::string_view source,
                            std::string_view replace, std::size_t most) {
  const char* read = source.data();
  const char* end = read + source.size();
  MatchList list;
  list.Fetch(scan, read, end, most);
  if (list.count == 0) return 0;

  PrepareOutput(output, OutputLength(scan, list, end, source.size(), replace.size(),
                                     output.capacity(), most));
  if (replace.empty()) return ReplaceMatches<true>(output, scan, list, read, end, replace, most);
  return ReplaceMatches<false>(output, scan, list, read, end, replace, most);
}

// A search of 2 GiB or more gets no scan (a skip table holds 32-bit shifts);
// Searchable refuses it where it could match.
bool Preparable(std::string_view search) {
  return !search.empty() && search.size() <= static_cast<std::size_t>(INT32_MAX);
}

// Every match of a search folded by Unicode's rules replaced into output (its
// capacity reused); false, output untouched, when there is none. Matches differ
// in length, so the output grows as it goes.
std::size_t ReplaceUnicodeInto(std::string& output, const UnicodeFoldedSearch& search,
                               std::string_view source, std::string_view replace,
                               std::size_t most) {
  UnicodeFoldedSearch::Match match;
  if (source.empty() || most == 0 || !search.Find(source, 0, match)) return 0;
  std::size_t replaced = 0;
  try {
    output.clear();
    std::size_t read = 0;
    do {
      output.append(source.substr(read, match.offset - read));
      output.append(replace);
      read = match.offset + match.length;
      ++replaced;
    } while (replaced < most && search.Find(source, read, match));
    output.append(source.substr(read));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
  return replaced;
}

}  // namespace

std::size_t ReplaceAllInto(std::string& output, std::string_view source, std::string_view search,
                           std::string_view replace, CaseMode caseMode, std::size_t most) {
  if (NeedsUnicodeFolding(search, caseMode)) {
    return ReplaceUnicodeInto(output, UnicodeFoldedSearch(search), source, replace, most);
  }
  if (!Searchable(source, search)) return 0;
  PreparedSearch prepared(search, caseMode);
  return ReplaceWithScan(output, prepared.scan, source, replace, most);
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

std::size_t PreparedReplacement::ReplaceInto(std::string& output, std::string_view source,
                                             std::size_t most) const {
  if (unicode_) return ReplaceUnicodeInto(output, *unicode_, source, replace_, most);
  if (!Searchable(source, search_)) return 0;
  return ReplaceWithScan(output, scan_, source, replace_, most);
}

std::size_t PreparedReplacement::ShortestMatchLength() const {
  return unicode_ ? unicode_->ShortestMatch() : search_.size();
}

std::size_t ReplaceAllInPlace(std::string& text, std::string_view search, std::string_view replace,
                              CaseMode caseMode, std::size_t most) {
  if (replace.size() > search.size() || NeedsUnicodeFolding(search, caseMode)) {
    std::string result;
    const std::size_t replaced = ReplaceAllInto(result, text, search, replace, caseMode, most);
    if (replaced != 0) text.swap(result);
    return replaced;
  }
  if (!Searchable(text, search)) return 0;
  const PreparedSearch prepared(search, caseMode);
  char* const base = text.data();
  const char* const end = base + text.size();
  const auto [write, read, replaced] =
      ReplaceMatchesInPlace(prepared.scan, base, end, replace, most);
  if (replaced == 0) return 0;
  const auto rest = static_cast<std::size_t>(end - read);
  if (write != read) std::memmove(write, read, rest);
  text.resize(static_cast<std::size_t>(write - base) + rest);
  return replaced;
}

// The write position never passes the read position (the replacement is not
// longer than the search), so bytes still to be searched are never overwritten.
InPlaceProgress ReplaceMatchesInPlace(const PatternScan& scan, char* begin, const char* end,
                                      std::string_view replace, std::size_t most) {
  const auto m = static_cast<std::size_t>(scan.length);
  char* write = begin;
  const char* read = begin;
  std::size_t replaced = 0;
  MatchList list;
  do {
    list.Fetch(scan, read, end, most - replaced);
    replaced += list.count;
    for (std::size_t i = 0; i < list.count; ++i) {
      const auto gap = static_cast<std::size_t>(list.matches[i] - read);
      if (write != read) std::memmove(write, read, gap);
      write += gap;
      if (!replace.empty()) std::memcpy(write, replace.data(), replace.size());
      write += replace.size();
      read = list.matches[i] + m;
    }
  } while (list.MayHaveMore());
  return {write, read, replaced};
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
