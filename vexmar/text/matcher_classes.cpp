#include "vexmar/text/matcher_classes.hpp"

#include "vexmar/text/split_and_match.hpp"

namespace vexmar {

std::int32_t ClsPatternMatchStr::MatchString(const std::u16string& strSource,
                                             const std::u16string& strFind, std::int32_t nStart,
                                             std::int32_t& nLength) const {
  return MatchWildcard(strSource, strFind, nStart, nLength);
}

void ClsTest::Test() const {
  std::int32_t length = 0;
  (void)MatchWildcard(u"456678343", u"45*43*", 1, length);
}

}  // namespace vexmar
