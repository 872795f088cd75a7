#pragma once
// The type information of a class's interface, from the module's own embedded type
// library (no registration needed).
#include <oaidl.h>

namespace vexmar::com {

HRESULT LoadInterfaceTypeInfo(const GUID& iid, ITypeInfo** out) noexcept;

}  // namespace vexmar::com
