#pragma once
// The library's one letter-case rule: Unicode simple upper-case mapping, one UTF-16
// unit in and one out (surrogates, and so characters beyond the BMP, are left as they
// are), from a table generated from Unicode data. It does not depend on any locale and
// gives the same result on every platform. Full-width and half-width forms stay apart.
#include <string>
#include <string_view>

namespace vexmar {

char16_t ToUpperUnit(char16_t unit) noexcept;
std::u16string ToUpper(std::u16string_view text);
// Exact comparison of the upper-cased forms.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept;
// Ordinal comparison of the upper-cased forms: <0, 0, >0.
int CompareIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept;
// 1-based position of the first occurrence of `needle` in `haystack` at or after
// position `start` (1-based), ignoring case; 0 when there is none, when `start` lies
// beyond the end, or when `needle` is empty.
std::int32_t FindIgnoreCase(std::u16string_view haystack, std::u16string_view needle,
                            std::int32_t start);
// The same with exact comparison.
std::int32_t FindExact(std::u16string_view haystack, std::u16string_view needle,
                       std::int32_t start);

}  // namespace vexmar
