#pragma once
// Integer arithmetic on counts and positions: a result outside the 32-bit signed
// range raises the overflow error instead of wrapping.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "vexmar/component/error.hpp"

namespace vexmar {

inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t r;
  if (__builtin_add_overflow(a, b, &r)) Raise(ErrorNumber::kOverflow);
  return r;
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  std::int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) Raise(ErrorNumber::kOverflow);
  return r;
}

// A size or count as int32; larger than the contract can express is an overflow.
inline std::int32_t ToInt32(std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    Raise(ErrorNumber::kOverflow);
  }
  return static_cast<std::int32_t>(n);
}

}  // namespace vexmar
