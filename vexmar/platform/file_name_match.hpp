#pragma once
// Whether a bare file name matches a listing pattern: "*" any run of UTF-16 units (also
// none), "?" exactly one unit, every other unit itself with letters compared by the
// library's upper-casing. No other metacharacters ("[", "]", "{" are ordinary) and no
// short-name quirks. Shared by the listing of every platform.
#include <string_view>

#include "vexmar/component/export.hpp"

namespace vexmar {

// Linear in practice: a two-pointer walk that backtracks only to the last "*".
VEXMAR_API bool FileNameMatches(std::u16string_view name, std::u16string_view pattern) noexcept;

}  // namespace vexmar
