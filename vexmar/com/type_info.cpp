#include "vexmar/com/type_info.hpp"

#include "vexmar/com/windows_com.hpp"

#include <string>

#include "vexmar/com/com_ptr.hpp"
#include "vexmar/com/module.hpp"

namespace vexmar::com {

HRESULT LoadInterfaceTypeInfo(const GUID& iid, ITypeInfo** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(iid, out);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace vexmar::com
