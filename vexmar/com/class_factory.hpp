#pragma once
// The class objects: one factory per class of the class table.
#include "vexmar/com/windows_com.hpp"

namespace vexmar::com {

// DllGetClassObject: the factory of one of the library's classes; any other CLSID is
// CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept;

}  // namespace vexmar::com
