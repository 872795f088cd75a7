#include "vexmar/workbook/distinct_sheet_names.hpp"

#include <algorithm>
#include <cstdint>
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

// FNV-1a over the upper-cased units: equal ignoring case gives equal hashes.
std::uint64_t FoldedHash(std::u16string_view name) noexcept {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char16_t unit : name) {
    hash = (hash ^ ToUpperUnit(unit)) * 0x100000001b3u;
  }
  return hash;
}

// Nearly every workbook has names that are already distinct: tell that without building
// upper-cased copies. Equal hashes (a true duplicate or a collision) take the full path.
bool AlreadyDistinct(const std::vector<std::u16string>& names) {
  std::vector<std::uint64_t> hashes;
  hashes.reserve(names.size());
  for (const std::u16string& name : names) {
    if (name.empty()) return false;
    hashes.push_back(FoldedHash(name));
  }
  std::sort(hashes.begin(), hashes.end());
  return std::adjacent_find(hashes.begin(), hashes.end()) == hashes.end();
}

}  // namespace

void MakeSheetNamesDistinct(std::vector<std::u16string>& names) {
  if (AlreadyDistinct(names)) return;
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
