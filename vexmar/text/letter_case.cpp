#include "vexmar/text/letter_case.hpp"

#include <cstdint>
#include <vector>

#include "vexmar/component/checked.hpp"

namespace vexmar {
namespace {
#include "vexmar/text/letter_case_table.inc"

// Needles up to this length are searched naively (at most this many comparisons per
// position); longer ones with Knuth-Morris-Pratt, so no input takes quadratic time.
constexpr std::size_t kNaiveNeedleLimit = 8;

template <typename Map>
std::int32_t FindMapped(std::u16string_view haystack, std::u16string_view needle_raw,
                        std::int32_t start, Map map) {
  if (needle_raw.empty() || start < 1) return 0;
  (void)ToInt32(haystack.size());  // positions must fit the contract's int32
  const auto from = static_cast<std::size_t>(start) - 1;
  if (from >= haystack.size() || haystack.size() - from < needle_raw.size()) return 0;
  const std::size_t n = haystack.size(), m = needle_raw.size();

  if (m <= kNaiveNeedleLimit) {
    char16_t needle[kNaiveNeedleLimit];
    for (std::size_t k = 0; k < m; ++k) needle[k] = map(needle_raw[k]);
    const char16_t first = needle[0];
    for (std::size_t i = from; i + m <= n; ++i) {
      if (map(haystack[i]) != first) continue;
      std::size_t k = 1;
      while (k < m && map(haystack[i + k]) == needle[k]) ++k;
      if (k == m) return static_cast<std::int32_t>(i + 1);
    }
    return 0;
  }

  std::vector<char16_t> needle(m);
  for (std::size_t k = 0; k < m; ++k) needle[k] = map(needle_raw[k]);
  std::vector<std::size_t> fail(m, 0);
  for (std::size_t k = 1, len = 0; k < m;) {
    if (needle[k] == needle[len]) {
      fail[k++] = ++len;
    } else if (len > 0) {
      len = fail[len - 1];
    } else {
      fail[k++] = 0;
    }
  }
  for (std::size_t i = from, k = 0; i < n;) {
    if (map(haystack[i]) == needle[k]) {
      ++i;
      if (++k == m) return static_cast<std::int32_t>(i - m + 1);
    } else if (k > 0) {
      k = fail[k - 1];
    } else {
      ++i;
    }
  }
  return 0;
}

}  // namespace

char16_t detail::ToUpperFromTable(char16_t unit) noexcept {
  const unsigned delta = kUpperStage2[kUpperStage1[unit >> 8]][unit & 0xFF];
  return static_cast<char16_t>(unit + delta);
}

std::u16string ToUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& u : out) u = ToUpperUnit(u);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && ToUpperUnit(a[i]) != ToUpperUnit(b[i])) return false;
  }
  return true;
}

std::int32_t FindIgnoreCase(std::u16string_view haystack, std::u16string_view needle,
                            std::int32_t start) {
  return FindMapped(haystack, needle, start, ToUpperUnit);
}

std::int32_t FindExact(std::u16string_view haystack, std::u16string_view needle,
                       std::int32_t start) {
  return FindMapped(haystack, needle, start, [](char16_t u) { return u; });
}

}  // namespace vexmar
