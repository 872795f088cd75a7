#pragma once
// The number of the vexmar::Error a call throws, for table-driven error tests.
#include <cstdint>

#include "vexmar/component/error.hpp"

namespace vexmar::testing {

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

}  // namespace vexmar::testing
