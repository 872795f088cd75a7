#pragma once
// How every class reads rule text: lines at CR LF, fields at "|", items at "#", each cut
// with SplitString, case-insensitively and without quoting, escaping or trimming. The
// separators are defined here and nowhere else (the line break in the public header,
// since hosts split rule text too).
#include <cstdint>
#include <string_view>

#include "vexmar/component/string_list.hpp"
#include "vexmar/text/split_and_match.hpp"

namespace vexmar {

inline constexpr std::u16string_view kRuleLineSeparator = kLineBreak;  // public, hosts use it
inline constexpr std::u16string_view kRuleFieldSeparator = u"|";
inline constexpr std::u16string_view kRuleItemSeparator = u"#";

// Cuts without a limit unless one is given: a limit of 1 leaves the whole text after the
// first line break in item 1, for a caller that needs only the item line.
inline constexpr std::int32_t kAllRuleLines = -1;

StringList SplitRuleLines(std::u16string_view rule, std::int32_t limit = kAllRuleLines);
StringList SplitRuleFields(std::u16string_view line);
StringList SplitRuleItems(std::u16string_view field);

}  // namespace vexmar
