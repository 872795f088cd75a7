#include "vexmar/workbook/distinct_sheet_names.hpp"

#include <map>
#include <set>
#include <string_view>

#include "vexmar/text/letter_case.hpp"

namespace vexmar::workbook {
namespace {

std::u16string Numbered(std::u16string_view base, std::u16string_view separator, std::size_t n) {
  std::u16string text(base);
  text += separator;
  const std::string digits = std::to_string(n);
  text.append(digits.begin(), digits.end());
  return text;
}

}  // namespace

void MakeSheetNamesDistinct(std::vector<std::u16string>& names) {
  // Ordered sets: no crafted names can make their lookups slow. Upper-cased keys.
  std::set<std::u16string, std::less<>> taken;
  // A number tried and found taken stays taken (names are only added), so each search
  // starts where the last one for the same base ended: every taken name fails at most
  // one try.
  std::map<std::u16string, std::size_t, std::less<>> next_suffix;
  std::size_t next_default = 1;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::u16string& name = names[i];
    if (name.empty()) {
      std::size_t n = std::max(i + 1, next_default);
      while (taken.contains(ToUpper(Numbered(u"Sheet", u"", n)))) ++n;
      next_default = n + 1;
      name = Numbered(u"Sheet", u"", n);
    } else if (std::u16string key = ToUpper(name); taken.contains(key)) {
      std::size_t& k = next_suffix.try_emplace(std::move(key), 2).first->second;
      while (taken.contains(ToUpper(Numbered(name, u"_", k)))) ++k;
      name = Numbered(name, u"_", k);
      ++k;
    }
    taken.insert(ToUpper(name));
  }
}

}  // namespace vexmar::workbook
