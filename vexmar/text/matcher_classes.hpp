#pragma once
// ClsPatternMatchStr and ClsTest: the matcher as host-visible classes.
#include <cstdint>
#include <string>

#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar {

class VEXMAR_API ClsPatternMatchStr : public Object {
 public:
  std::int32_t MatchString(const std::u16string& strSource, const std::u16string& strFind,
                           std::int32_t nStart, std::int32_t& nLength) const;
};

class VEXMAR_API ClsTest : public Object {
 public:
  void Test() const;
};

}  // namespace vexmar
