#pragma once
// vexmar_value and the library's Variant, converted at the C interface's edge. Text is
// UTF-8 outside and UTF-16 inside; bytes that are not UTF-8 (a file name's) pass both
// ways unchanged, as lone surrogates U+DC80..U+DCFF inside.
#include <string>

#include "vexmar/component/value.hpp"
#include "vexmar/vexmar.h"

namespace vexmar::capi {

// A caller's value as a Variant. A null text is "", as a null string is in Automation;
// a null text or list with a length is error 5, an unknown tag error 13.
Variant ToVariant(const vexmar_value& value);
// UTF-8 (not necessarily valid) as UTF-16; null is error 5.
std::u16string ToU16(const char* text);

// Fills `out` with an owned copy of `value` (out's old content is not looked at).
void SetOwned(vexmar_value& out, const Variant& value);
// Frees an owned value's content and makes it empty; leaves a caller's value alone.
void ClearOwned(vexmar_value& value) noexcept;

}  // namespace vexmar::capi
