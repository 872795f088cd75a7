#pragma once
// Automation strings and string arrays to and from the library's value types.
#include "vexmar/com/windows_com.hpp"

#include <memory>
#include <string>
#include <string_view>

#include "vexmar/component/string_list.hpp"

namespace vexmar::com {

// A null BSTR counts as the empty string.
std::u16string FromBstr(const OLECHAR* text);
// A new BSTR; std::bad_alloc when memory runs out.
BSTR ToBstr(std::u16string_view text);

struct BstrFree {
  void operator()(OLECHAR* text) const noexcept { SysFreeString(text); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFree>;

struct SafeArrayFree {
  void operator()(SAFEARRAY* array) const noexcept { SafeArrayDestroy(array); }
};
using UniqueSafeArray = std::unique_ptr<SAFEARRAY, SafeArrayFree>;

// A one-dimensional array of strings with lower bound 0, or null for an absent list.
UniqueSafeArray ToBstrArray(const StringList& list);
// The same as an array of Variants holding strings, the form script hosts index.
UniqueSafeArray ToVariantArray(const StringList& list);

// The strings of a one-dimensional string array in index order (absent for null or an
// array of any other shape). The library's lists start at 0; a caller's other lower
// bound is not kept, as every member that takes a list rebuilds it before reading it.
StringList FromBstrArray(SAFEARRAY* array);

// Whether the array may not be freed or replaced by a callee: fixed size, static,
// embedded or currently locked (as a script's "Dim a(1)" array is).
bool IsFixedOrLocked(const SAFEARRAY* array) noexcept;

}  // namespace vexmar::com
