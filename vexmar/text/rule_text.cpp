#include "vexmar/text/rule_text.hpp"

namespace vexmar {

StringList SplitRuleLines(std::u16string_view rule, std::int32_t limit) {
  StringList lines;
  SplitString(rule, kRuleLineSeparator, lines, limit, kCompareText);
  return lines;
}

StringList SplitRuleFields(std::u16string_view line) {
  StringList fields;
  SplitString(line, kRuleFieldSeparator, fields, -1, kCompareText);
  return fields;
}

StringList SplitRuleItems(std::u16string_view field) {
  StringList items;
  SplitString(field, kRuleItemSeparator, items, -1, kCompareText);
  return items;
}

}  // namespace vexmar
