#pragma once
// The list GetFileNames fills, with the upper-cased forms of its names (items 1 on)
// kept in a hash set beside it: "is this name listed, ignoring case" is then one look-up
// instead of a walk over the list, the same answer ContainsItem would give.
#include <string>
#include <string_view>
#include <unordered_set>

#include "vexmar/component/string_list.hpp"
#include "vexmar/names/repeat_name.hpp"

namespace vexmar {

class ClsRepeatName::FileNameList {
 public:
  // Takes over `list`, resetting it to the single empty item 0.
  explicit FileNameList(StringList& list);

  void Append(std::u16string name);
  bool Contains(std::u16string_view name) const;

 private:
  StringList& list_;
  std::unordered_set<std::u16string> upper_names_;
};

}  // namespace vexmar
