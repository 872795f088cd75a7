#pragma once
// The list GetFileNames fills, with a hash index beside it: "is this name listed,
// ignoring case" is one look-up instead of a walk over the list, with the answer
// ContainsItem would give. The index holds list positions and hashes only, so it adds
// no copy of any name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/string_list.hpp"
#include "vexmar/names/repeat_name.hpp"

namespace vexmar {

struct ClsRepeatName::FileNameLookup {
  bool listed;
  std::uint32_t hash;
};

class ClsRepeatName::FileNameList {
 public:
  // Takes over `list`, resetting it to the single empty item 0.
  explicit FileNameList(StringList& list);

  void Append(std::u16string name);
  // Appends a name that Find() has just not found, reusing the hash it computed.
  void Append(std::u16string name, const FileNameLookup& lookup);
  FileNameLookup Find(std::u16string_view name) const;

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::int32_t index = 0;  // list position; 0, the placeholder's, marks a free slot
  };

  static std::uint32_t HashIgnoringCase(std::u16string_view name) noexcept;
  void Place(Slot slot) noexcept;
  void Grow();

  StringList& list_;
  std::vector<Slot> slots_;  // open addressing, linear probing, size a power of two
  std::size_t used_ = 0;
};

}  // namespace vexmar
