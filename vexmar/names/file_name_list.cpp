#include "vexmar/names/file_name_list.hpp"

#include <utility>

#include "vexmar/text/letter_case.hpp"

namespace vexmar {

ClsRepeatName::FileNameList::FileNameList(StringList& list) : list_(list) {
  list_.ResetToPlaceholder();
}

void ClsRepeatName::FileNameList::Append(std::u16string name) {
  std::u16string upper = ToUpper(name);
  list_.Append(std::move(name));
  upper_names_.insert(std::move(upper));
}

bool ClsRepeatName::FileNameList::Contains(std::u16string_view name) const {
  return upper_names_.contains(ToUpper(name));
}

}  // namespace vexmar
