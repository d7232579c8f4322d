#include "text/string_list_fast.h"

#include <algorithm>
#include <utility>

#include "base/exceptions.h"
#include "faststrings/fast_strings.h"
#include "platform/byte_buffer.h"
#include "text/conversions.h"
#include "text/line_text.h"

namespace {

// The bytes before the first "=", when there are any; a line without "=" or
// starting with it has no name part.
bool NamePartOf(std::string_view line, std::string_view& name) {
  const std::size_t equals = BytePos('=', line, CaseMode::Exact, 1);
  if (equals <= 1) return false;
  name = line.substr(0, equals - 1);
  return true;
}

}  // namespace

TStringListFast::TStringListFast() = default;
TStringListFast::~TStringListFast() = default;

void TStringListFast::LoadFromFileNul(const std::string& fileName, char substitute) {
  auto stream = FileStreamOpen(fileName);
  UpdateScope update(*this);
  TFileBytes bytes = ReadRemaining(*stream);
  Clear();
  if (bytes.size == 0) return;
  char* p = bytes.begin();
  char* const end = bytes.end();
  Reserve(CountEither(p, end, '\n', '\r') + 1);
  while (p < end) {
    char* const lineStart = p;
    for (;;) {
      p = const_cast<char*>(FindAnyOf3(p, end, '\n', '\r', '\0'));
      if (p == end || *p != '\0') break;
      *p++ = substitute;  // stays inside the line, whatever the substitute is
    }
    Add(std::string(lineStart, p));
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}

std::string TStringListFast::JoinText(std::string_view separator, bool trailingSeparator) const {
  const std::int32_t count = Count();
  std::size_t total = 0;
  for (const Item& item : items_) total += item.text.size() + separator.size();
  if (!trailingSeparator && count > 0) total -= separator.size();
  std::string text;
  platform::ReserveBytes(text, total);
  for (std::int32_t i = 0; i < count; ++i) {
    text.append(items_[static_cast<std::size_t>(i)].text);
    if (i < count - 1 || trailingSeparator) text.append(separator);
  }
  return text;
}

std::string TStringListFast::GetTextLF() const {
  return JoinText("\n", true);
}

void TStringListFast::SaveToStreamLF(TFileStream& stream) const {
  WriteLinesTo(stream, *this, "\n");
}

void TStringListFast::SaveToFileLF(const std::string& fileName) const {
  auto stream = FileStreamCreate(fileName);
  SaveToStreamLF(*stream);
  stream->Commit();
}

void TStringListFast::AttachKeyIndex() {
  auto keys = std::make_unique<TStringList>();
  keys->SetSorted(true);
  keys->SetDuplicates(TDuplicates::dupIgnore);
  for (std::int32_t i = 0; i < Count(); ++i) {
    std::string_view name;
    if (!NamePartOf(items_[static_cast<std::size_t>(i)].text, name)) continue;
    std::int32_t k = 0;
    if (keys->Find(name, k)) continue;  // the first line of a name owns it
    keys->SetObject(keys->Add(std::string(name)), i);
  }
  FKeys = std::move(keys);
}

void TStringListFast::Assign(const TStringList& source) {
  if (!(Sorted() && source.Sorted())) {
    TStringList::Assign(source);
    return;
  }
  // A sorted source is copied in its own order, without sorting it again.
  BeginUpdate();
  SetSorted(false);
  FAssigning = true;
  try {
    TStringList::Assign(source);
  } catch (...) {
    SetSorted(true);
    FAssigning = false;
    EndUpdate();
    throw;
  }
  SetSorted(true);
  FAssigning = false;
  EndUpdate();
}

void TStringListFast::Put(std::int32_t index, std::string line) {
  if (FKeys) throw EStringListError("StringList has Keys");
  TStringList::Put(index, std::move(line));
}

std::int32_t TStringListFast::CompareStrings(std::string_view a, std::string_view b) const {
  return AsciiCompareNoCase(a, b);
}

std::int32_t TStringListFast::AddObject(std::string line, std::intptr_t object) {
  if (!FKeys) return TStringList::AddObject(std::move(line), object);
  std::string_view name;
  if (!NamePartOf(line, name)) return -1;
  std::int32_t k = 0;
  if (FKeys->Find(name, k)) {
    const auto j = static_cast<std::int32_t>(FKeys->Objects(k));
    TStringList::Put(j, std::move(line));
    SetObject(j, object);
    return -1;
  }
  k = FKeys->Add(std::string(name));
  const std::int32_t j = TStringList::AddObject(std::move(line), object);
  FKeys->SetObject(k, j);
  // Key positions after the new line's move up with it (keys parallel to lines).
  const std::int32_t last = std::min(Count(), FKeys->Count()) - 1;
  for (std::int32_t p = j + 1; p <= last; ++p) FKeys->SetObject(p, FKeys->Objects(p) + 1);
  return -1;
}

void TStringListFast::Clear() {
  TStringList::Clear();
  if (FKeys) FKeys->Clear();
}

void TStringListFast::Delete(std::int32_t index) {
  if (FKeys) {
    std::string_view name;
    std::int32_t k = 0;
    if (NamePartOf(Strings(index), name) && FKeys->Find(name, k)) FKeys->Delete(k);
    for (std::int32_t p = 0; p < FKeys->Count(); ++p) {
      if (FKeys->Objects(p) >= index) FKeys->SetObject(p, FKeys->Objects(p) - 1);
    }
  }
  TStringList::Delete(index);
}

void TStringListFast::Exchange(std::int32_t i, std::int32_t j) {
  if (!FKeys) {
    TStringList::Exchange(i, j);
    return;
  }
  const std::string formerI = Strings(i);
  const std::string formerJ = Strings(j);
  TStringList::Exchange(i, j);
  std::string_view name;
  std::int32_t k = 0;
  if (NamePartOf(formerI, name) && FKeys->Find(name, k)) FKeys->SetObject(k, j);
  if (NamePartOf(formerJ, name) && FKeys->Find(name, k)) FKeys->SetObject(k, i);
}

std::int32_t TStringListFast::IndexOf(std::string_view text) const {
  std::int32_t index = 0;
  if (Sorted()) return Find(text, index) ? index : -1;
  for (std::int32_t i = 0; i < Count(); ++i) {
    if (CompareStrings(items_[static_cast<std::size_t>(i)].text, text) == 0) return i;
  }
  return -1;
}

std::int32_t TStringListFast::IndexOfName(std::string_view name) const {
  if (!FKeys) return TStringList::IndexOfName(name);
  std::int32_t k = 0;
  return FKeys->Find(name, k) ? static_cast<std::int32_t>(FKeys->Objects(k)) : -1;
}

void TStringListFast::Sort() {
  if (FAssigning || Sorted()) return;
  TStringList::Sort();
}
