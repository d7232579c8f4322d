// The base line list: ordered byte strings, each with an object slot, optionally
// sorted (CompareStrings order, binary search) with a duplicates policy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
 public:
  TStringList();
  virtual ~TStringList();

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  const std::string& Strings(std::int32_t index) const;  // EStringListError when out of bounds
  std::intptr_t Objects(std::int32_t index) const;
  void SetObject(std::int32_t index, std::intptr_t object);

  std::int32_t Add(std::string line);  // through AddObject with an empty object
  void Insert(std::int32_t index, std::string line);
  void InsertObject(std::int32_t index, std::string line, std::intptr_t object);
  bool Find(std::string_view text, std::int32_t& index) const;
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);  // true sorts through the Sort slot first
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() { --updateCount_; }
  std::int32_t UpdateCount() const { return updateCount_; }
  void Reserve(std::size_t count) { items_.reserve(count); }

  // The overridable slots, in order.
  virtual void Assign(const TStringList& source);
  virtual void Put(std::int32_t index, std::string line);
  virtual std::int32_t CompareStrings(std::string_view a, std::string_view b) const;
  virtual std::int32_t AddObject(std::string line, std::intptr_t object);
  virtual void Clear();
  virtual void Delete(std::int32_t index);
  virtual void Exchange(std::int32_t i, std::int32_t j);
  virtual std::int32_t IndexOf(std::string_view text) const;
  virtual std::int32_t IndexOfName(std::string_view name) const;
  virtual void Sort();

 protected:
  // EStringListError "List index out of bounds (%d)" unless 0 <= index < Count().
  void CheckIndex(std::int32_t index) const;
  // Stores a line at an index already checked, with no sorting or key upkeep.
  void InsertItem(std::int32_t index, std::string line, std::intptr_t object);

  struct Item {
    std::string text;
    std::intptr_t object = 0;
  };
  std::vector<Item> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
  std::int32_t updateCount_ = 0;
};

// Keeps begin/end update balanced whatever happens in between.
class UpdateScope {
 public:
  explicit UpdateScope(TStringList& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateScope() { list_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  TStringList& list_;
};
