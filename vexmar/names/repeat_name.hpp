#pragma once
// ClsRepeatName: naming rules. Reads a rule's weight and message, lists the answer
// files its file field stands for, and rewrites the rule for one concrete file.
#include <cstdint>
#include <string>
#include <string_view>

#include "vexmar/component/export.hpp"
#include "vexmar/component/string_list.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar {

class VEXMAR_API ClsRepeatName : public Object {
 public:
  std::int32_t GetFileNames(const std::u16string& strRule, StringList& strFileNames,
                            const std::u16string& strTestPath) const;
  Bool16 GetRuleItem(const std::u16string& strRule, std::u16string& strErrMsg,
                     float& sngWeight) const;
  std::u16string ChangeRuleFileName(const std::u16string& strRule,
                                    const std::u16string& strFileName) const;
};

}  // namespace vexmar
