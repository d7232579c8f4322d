// The line list of whole-file mode: a zero-tolerant loader, joins with any
// separator, LF output, ASCII-folding comparison and an optional key index.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/file_stream.h"
#include "text/string_list.h"

class TStringListFast : public TStringList {
 public:
  TStringListFast();
  ~TStringListFast() override;

  // Named by the design; whole-file mode loads, joins and saves through its own
  // passes over one buffer, and these stay as the reference its tests compare with.
  void LoadFromFileNul(const std::string& fileName, char substitute);
  std::string JoinText(std::string_view separator, bool trailingSeparator) const;
  std::string GetTextLF() const;
  void SaveToStreamLF(TFileStream& stream) const;
  void SaveToFileLF(const std::string& fileName) const;

  // Attaches a key index (sorted list of name parts, objects = line indexes),
  // built from the current lines; the list owns it.
  // Named by the design; the tool itself does not call it (tests do).
  void AttachKeyIndex();
  const TStringList* Keys() const { return FKeys.get(); }

  void Assign(const TStringList& source) override;
  void Put(std::int32_t index, std::string line) override;
  std::int32_t CompareStrings(std::string_view a, std::string_view b) const override;
  std::int32_t AddObject(std::string line, std::intptr_t object) override;
  void Clear() override;
  void Delete(std::int32_t index) override;
  void Exchange(std::int32_t i, std::int32_t j) override;
  std::int32_t IndexOf(std::string_view text) const override;
  std::int32_t IndexOfName(std::string_view name) const override;
  void Sort() override;

 private:
  std::unique_ptr<TStringList> FKeys;
  bool FAssigning = false;
};
