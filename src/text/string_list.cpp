#include "text/string_list.h"

#include <algorithm>
#include <utility>

#include "text/conversions.h"
#include "base/exceptions.h"

namespace {

[[noreturn]] void FailIndex(std::int32_t index) {
  throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

[[noreturn]] void FailSorted() {
  throw EStringListError("Operation not allowed on sorted list");
}

}  // namespace

TStringList::TStringList() = default;
TStringList::~TStringList() = default;

void TStringList::CheckIndex(std::int32_t index) const {
  if (index < 0 || index >= Count()) FailIndex(index);
}

const std::string& TStringList::Strings(std::int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

std::intptr_t TStringList::Objects(std::int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::SetObject(std::int32_t index, std::intptr_t object) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].object = object;
}

std::int32_t TStringList::Add(std::string line) {
  return AddObject(std::move(line), 0);
}

void TStringList::Insert(std::int32_t index, std::string line) {
  InsertObject(index, std::move(line), 0);
}

void TStringList::InsertObject(std::int32_t index, std::string line, std::intptr_t object) {
  if (sorted_) FailSorted();
  if (index < 0 || index > Count()) FailIndex(index);
  InsertItem(index, std::move(line), object);
}

void TStringList::InsertItem(std::int32_t index, std::string line, std::intptr_t object) {
  items_.insert(items_.begin() + index, Item{std::move(line), object});
}

bool TStringList::Find(std::string_view text, std::int32_t& index) const {
  bool found = false;
  std::int32_t low = 0;
  std::int32_t high = Count() - 1;
  while (low <= high) {
    const std::int32_t middle = low + (high - low) / 2;
    const std::int32_t order = CompareStrings(items_[static_cast<std::size_t>(middle)].text, text);
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (order == 0) {
        found = true;
        // Without accepted duplicates an equal line is unique: stop at it.
        if (duplicates_ != TDuplicates::dupAccept) low = middle;
      }
    }
  }
  index = low;
  return found;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted_ == sorted) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::Assign(const TStringList& source) {
  if (&source == this) return;
  BeginUpdate();
  try {
    Clear();
    Reserve(static_cast<std::size_t>(source.Count()));
    for (const Item& item : source.items_) AddObject(item.text, item.object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::Put(std::int32_t index, std::string line) {
  if (sorted_) FailSorted();
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].text = std::move(line);
}

std::int32_t TStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return AsciiCompareNoCase(a, b);
}

std::int32_t TStringList::AddObject(std::string line, std::intptr_t object) {
  std::int32_t index = Count();
  if (sorted_ && Find(line, index)) {
    switch (duplicates_) {
      case TDuplicates::dupIgnore:
        return index;
      case TDuplicates::dupError:
        throw EStringListError("String list does not allow duplicates");
      case TDuplicates::dupAccept:
        break;
    }
  }
  InsertItem(index, std::move(line), object);
  return index;
}

void TStringList::Clear() {
  items_.clear();
}

void TStringList::Delete(std::int32_t index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

void TStringList::Exchange(std::int32_t i, std::int32_t j) {
  CheckIndex(i);
  CheckIndex(j);
  std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
}

std::int32_t TStringList::IndexOf(std::string_view text) const {
  if (sorted_) {
    std::int32_t index = 0;
    return Find(text, index) ? index : -1;
  }
  for (std::int32_t i = 0; i < Count(); ++i) {
    if (CompareStrings(items_[static_cast<std::size_t>(i)].text, text) == 0) return i;
  }
  return -1;
}

std::int32_t TStringList::IndexOfName(std::string_view name) const {
  for (std::int32_t i = 0; i < Count(); ++i) {
    const std::string& text = items_[static_cast<std::size_t>(i)].text;
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos &&
        CompareStrings(std::string_view(text).substr(0, equals), name) == 0) {
      return i;
    }
  }
  return -1;
}

void TStringList::Sort() {
  if (sorted_ || items_.size() < 2) return;
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return CompareStrings(a.text, b.text) < 0;
  });
}
