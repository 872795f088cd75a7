#pragma once
// Names of value-parameterised test cases that read well in test logs and in ctest:
// the parameter as its PrintTo shows it, cut down to letters, digits and "_", followed
// by the case's index, which keeps the names unique.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace vexmar::testing {

struct ReadableParamName {
  static constexpr std::size_t kMaxText = 48;

  template <typename Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
    std::string name;
    for (const char c : ::testing::PrintToString(info.param)) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (plain) {
        name += c;
      } else if (!name.empty() && name.back() != '_') {
        name += '_';  // any run of other characters, non-ASCII ones included
      }
      if (name.size() >= kMaxText) break;
    }
    if (!name.empty() && name.back() != '_') name += '_';
    return name + std::to_string(info.index);
  }
};

}  // namespace vexmar::testing
