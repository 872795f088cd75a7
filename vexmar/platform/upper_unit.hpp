#pragma once
// ToUpperUnit with the ASCII range done in line: the listing upper-cases every unit of
// every name it sorts, matches or hashes, and file names are mostly ASCII.
#include <cstddef>
#include <string_view>

#include "vexmar/text/letter_case.hpp"

namespace vexmar {

inline char16_t UpperUnitInline(char16_t unit) noexcept {
  if (unit < 0x80) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
  }
  return ToUpperUnit(unit);
}

// Ordinal comparison of the upper-cased forms (<0, 0, >0), the first key of the listing
// order; the same answers as CompareIgnoreCase.
inline int CompareUpperCased(std::u16string_view a, std::u16string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const char16_t x = UpperUnitInline(a[i]);
    const char16_t y = UpperUnitInline(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace vexmar
