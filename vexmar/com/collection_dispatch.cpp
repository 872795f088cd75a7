#include "vexmar/com/collection_dispatch.hpp"

#include "vexmar/com/com_ptr.hpp"
#include "vexmar/com/windows_guid.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::com {
namespace {

HRESULT Read(CollectionMembers& members, DISPPARAMS& params, VARIANT* result, EXCEPINFO* excep,
             UINT* arg_error) {
  if (params.cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  ComPtr<_Collection> collection;
  const HRESULT hr = members.ReadCollection(collection.Put());
  if (FAILED(hr)) return hr;
  if (params.cArgs > 0) {
    if (!collection) return DISP_E_MEMBERNOTFOUND;
    return collection->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, excep,
                              arg_error);
  }
  if (result != nullptr) {
    VariantInit(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = collection.Detach();
  }
  return S_OK;
}

HRESULT Write(CollectionMembers& members, const DISPPARAMS& params, VARIANT* result,
              UINT* arg_error) {
  if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTFOUND;
  }
  const VARIANT& value = params.rgvarg[0];
  if (arg_error != nullptr) *arg_error = 0;
  IUnknown* object = nullptr;
  switch (V_VT(&value)) {
    case VT_DISPATCH:
    case VT_UNKNOWN:
      object = V_UNKNOWN(&value);
      break;
    case VT_BYREF | VT_DISPATCH:
    case VT_BYREF | VT_UNKNOWN:
      object = V_UNKNOWNREF(&value) != nullptr ? *V_UNKNOWNREF(&value) : nullptr;
      break;
    default:
      return DISP_E_TYPEMISMATCH;
  }
  // As the type library's dispatch passes an object for an interface parameter: only
  // one that is of the collection type (error 430 for any other).
  ComPtr<_Collection> collection;
  if (object != nullptr) {
    const HRESULT hr =
        object->QueryInterface(ToGuid(contract::kCollectionIid), collection.PutVoid());
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = members.WriteCollection(collection.Get());
  if (SUCCEEDED(hr) && result != nullptr) VariantInit(result);
  return hr;
}

}  // namespace

HRESULT InvokeCollectionProperty(CollectionMembers& members, WORD flags, DISPPARAMS& params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
  if ((flags & DISPATCH_PROPERTYPUTREF) != 0) return Write(members, params, result, arg_error);
  if ((flags & DISPATCH_PROPERTYGET) != 0) return Read(members, params, result, excep, arg_error);
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace vexmar::com
