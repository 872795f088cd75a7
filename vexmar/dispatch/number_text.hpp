#pragma once
// Numbers as an Automation host writes and rounds them when it converts argument
// values: decimal text independent of the locale, float32 with up to seven
// significant digits, and rounding half to even on the way to an integer.
#include <cstdint>
#include <string>

namespace vexmar::dispatch {

// "100", "-7".
std::u16string FormatInt32(std::int32_t value);

// Up to seven significant digits without trailing zeros: 7.5 gives "7.5", 100 gives
// "100", 0.1f gives "0.1". Below 1E-04 and from 1E+07 on the exponent form is used:
// "1.234568E+07", "1E-05". Negative zero gives "0"; NaN gives "NaN" and the infinities
// "Infinity" and "-Infinity".
std::u16string FormatFloat32(float value);

// The nearest int32, halves to the even neighbour (2.5 gives 2, 3.5 gives 4). NaN and
// values outside the int32 range are the overflow error.
std::int32_t RoundToInt32(double value);

}  // namespace vexmar::dispatch
