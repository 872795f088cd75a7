#pragma once
// Helpers of the late-binding tests.
#include <cstdint>
#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar::dispatch::testing {

// The number of the vexmar::Error that `body` throws; 0 when it throws none.
template <typename Body>
std::int32_t ErrorNumberOf(Body&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

inline Variant Str(std::u16string text) { return Variant(std::move(text)); }

}  // namespace vexmar::dispatch::testing
