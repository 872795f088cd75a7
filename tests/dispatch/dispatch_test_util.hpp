#pragma once
// Helpers of the late-binding tests.
#include <cstdint>
#include <string>

#include "support/error_number.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar::dispatch::testing {

using vexmar::testing::ErrorNumberOf;

inline Variant Str(std::u16string text) { return Variant(std::move(text)); }

}  // namespace vexmar::dispatch::testing
