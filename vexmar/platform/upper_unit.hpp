#pragma once
// ToUpperUnit with the ASCII range done in line: the listing upper-cases every unit of
// every name it sorts, matches or hashes, and file names are mostly ASCII.
#include "vexmar/text/letter_case.hpp"

namespace vexmar {

inline char16_t UpperUnitInline(char16_t unit) noexcept {
  if (unit < 0x80) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
  }
  return ToUpperUnit(unit);
}

}  // namespace vexmar
