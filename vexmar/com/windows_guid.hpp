#pragma once
// The class table's GUIDs as the platform's GUID structure.
#include "vexmar/com/windows_com.hpp"

#include <cstddef>

#include "vexmar/component/guid.hpp"

namespace vexmar::com {

inline GUID ToGuid(const Guid& g) noexcept {
  GUID out{g.data1, g.data2, g.data3, {}};
  for (std::size_t i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

inline Guid FromGuid(const GUID& g) noexcept {
  Guid out;
  out.data1 = g.Data1;
  out.data2 = g.Data2;
  out.data3 = g.Data3;
  for (std::size_t i = 0; i < 8; ++i) out.data4[i] = g.Data4[i];
  return out;
}

}  // namespace vexmar::com
