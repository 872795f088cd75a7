#pragma once
// ClsRepeatName: naming rules. Reads a rule's weight and message, lists the answer
// files its file field stands for, and rewrites the rule for one concrete file.
#include <cstdint>
#include <string>
#include <string_view>

#include "vexmar/component/string_list.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar {

// The list of file names under construction and one directory search adding to it
// (vexmar/names/file_name_list.hpp).
class FileNameList;
class FileNameSearch;

class ClsRepeatName : public Object {
 public:
  std::int32_t GetFileNames(const std::u16string& strRule, StringList& strFileNames,
                            const std::u16string& strTestPath) const;
  Bool16 GetRuleItem(const std::u16string& strRule, std::u16string& strErrMsg,
                     float& sngWeight) const;
  std::u16string ChangeRuleFileName(const std::u16string& strRule,
                                    const std::u16string& strFileName) const;

 private:
  static void AddItemFileNames(std::u16string_view item, FileNameList& list,
                               std::u16string_view directory);
  static bool IsFileNameListed(std::u16string_view name, FileNameSearch& search);
};

}  // namespace vexmar
