#pragma once
// Numbers in rule text: the weight fields are plain decimal numbers, read the same
// way whatever the locale.
#include <string_view>

#include "vexmar/component/export.hpp"

namespace vexmar {

// Whether, apart from leading and trailing spaces, the whole text is one number: an
// optional sign, digits with at most one ".", an optional exponent ("E", optional
// sign, digits). Empty or all-space text is not numeric.
VEXMAR_API bool IsNumeric(std::u16string_view text) noexcept;

// The whole field as a float32, rounded once to nearest from the decimal text. Text that
// is not numeric is the type-mismatch error; a value beyond the float32 range is the
// overflow error and one too small for it gives 0, told by the value's magnitude
// whatever the number of digits or the exponent's sign.
VEXMAR_API float ConvertWholeToFloat32(std::u16string_view text);

// Reads a number from the start of the text: spaces, tabs and line feeds are skipped
// wherever they stand; optional sign, digits, "." and fraction, exponent with "E" or
// "D"; stops at the first unit that does not fit. No digits give 0. Beyond the double
// range is the overflow error, too small for it gives 0 (told by magnitude, as above).
// Returned as double; the caller rounds to float32.
VEXMAR_API double ReadLeadingNumber(std::u16string_view text);

// The value as float32, rounded to nearest; beyond the float32 range is the overflow error.
VEXMAR_API float ToFloat32Checked(double value);

}  // namespace vexmar
