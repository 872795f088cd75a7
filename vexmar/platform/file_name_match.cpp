#include "vexmar/platform/file_name_match.hpp"

#include <cstddef>

#include "vexmar/text/letter_case.hpp"

namespace vexmar {

bool FileNameMatches(std::u16string_view name, std::u16string_view pattern) noexcept {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t n = 0;
  std::size_t p = 0;
  // Where the last "*" stood in the pattern and how much of the name it has taken so
  // far; on a mismatch the star takes one more unit and matching resumes after it.
  std::size_t star = kNone;
  std::size_t star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      star_name = n;
    } else if (p < pattern.size() &&
               (pattern[p] == u'?' || ToUpperUnit(pattern[p]) == ToUpperUnit(name[n]))) {
      ++p;
      ++n;
    } else if (star != kNone) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace vexmar
