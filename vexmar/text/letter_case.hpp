#pragma once
// The library's one letter-case rule: Unicode simple upper-case mapping, one UTF-16
// unit in and one out (surrogates, and so characters beyond the BMP, are left as they
// are), from a table generated from Unicode data. It does not depend on any locale and
// gives the same result on every platform. Full-width and half-width forms stay apart.
#include <cstdint>
#include <string>
#include <string_view>

#include "vexmar/component/export.hpp"

namespace vexmar {

namespace detail {
VEXMAR_API char16_t ToUpperFromTable(char16_t unit) noexcept;
}

// Inline for the ASCII range, which most names and rule texts are made of.
inline char16_t ToUpperUnit(char16_t unit) noexcept {
  if (unit < 0x80) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
  }
  return detail::ToUpperFromTable(unit);
}

VEXMAR_API std::u16string ToUpper(std::u16string_view text);
// Exact comparison of the upper-cased forms.
VEXMAR_API bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept;
// Ordinal comparison of the upper-cased forms: <0, 0, >0.
inline int CompareIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const char16_t x = ToUpperUnit(a[i]), y = ToUpperUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
// 1-based position of the first occurrence of `needle` in `haystack` at or after
// position `start` (1-based), ignoring case; 0 when there is none, when `start` lies
// beyond the end, or when `needle` is empty.
VEXMAR_API std::int32_t FindIgnoreCase(std::u16string_view haystack, std::u16string_view needle,
                            std::int32_t start);
// The same with exact comparison.
VEXMAR_API std::int32_t FindExact(std::u16string_view haystack, std::u16string_view needle,
                       std::int32_t start);

}  // namespace vexmar
