#pragma once
// The shared routines of the rule texts: splitting into string lists, case-insensitive
// list membership and the wildcard matcher.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/export.hpp"
#include "vexmar/component/string_list.hpp"

namespace vexmar {

inline constexpr std::int32_t kCompareBinary = 0;
inline constexpr std::int32_t kCompareText = 1;  // case-insensitive; every caller uses it

inline constexpr std::u16string_view kLineBreak = u"\r\n";

// Cuts `source` at every occurrence of `delimiter` into `items` (reset first).
// nLimit -1 means no limit. An empty delimiter is the invalid-argument error.
VEXMAR_API void SplitString(std::u16string_view source, std::u16string_view delimiter, StringList& items,
                 std::int32_t nLimit, std::int32_t nCompare);

// Whether `item` equals, ignoring case, one of list items 1..upper (item 0 is never
// examined). A list without bounds is the subscript error.
VEXMAR_API bool ContainsItem(std::u16string_view item, const StringList& list);

// Whether a text is a wildcard pattern: "*" or "?" anywhere.
VEXMAR_API bool HasWildcard(std::u16string_view text) noexcept;

struct PatternSegment {
  enum Kind : std::int32_t { kLiteral = 0, kStar = 1, kQuestion = 2 };
  std::u16string Text;
  std::int32_t Count = 0;
  std::int32_t Kind = kLiteral;
  friend bool operator==(const PatternSegment&, const PatternSegment&) = default;
};

// Segment list: element 0 is a placeholder, the pattern's segments follow from 1.
VEXMAR_API void ParsePattern(std::u16string_view strPattern, std::vector<PatternSegment>& Segments);

// Finds the first stretch of `strSource`, from `nStart` on, that `strFind` describes.
// Returns its 1-based position and stores its length in `nLength`; see the matcher's
// documentation for the results when nothing is found.
VEXMAR_API std::int32_t MatchWildcard(std::u16string_view strSource, std::u16string_view strFind,
                           std::int32_t nStart, std::int32_t& nLength);

}  // namespace vexmar
