#pragma once
// The type information of a class's interface, from the module's own embedded type
// library (no registration needed).
#include "vexmar/com/windows_com.hpp"

namespace vexmar::com {

HRESULT LoadInterfaceTypeInfo(const GUID& iid, ITypeInfo** out) noexcept;

}  // namespace vexmar::com
