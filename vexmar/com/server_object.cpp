#include "vexmar/com/server_object.hpp"

#include "vexmar/com/windows_com.hpp"

#include <new>

#include "vexmar/com/dispatch_arguments.hpp"
#include "vexmar/com/type_info.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::com {
namespace {

using contract::Member;
using contract::MemberKind;

const Member* FindMember(const contract::ClassInfo& info, DISPID id, MemberKind kind) noexcept {
  for (const Member& m : info.members) {
    if (m.dispid == id && m.kind == kind) return &m;
  }
  return nullptr;
}

}  // namespace

ObjectCore::ObjectCore(const contract::ClassInfo& info, CollectionMembers* collections)
    : info_(info),
      collections_(collections),
      iid_(ToGuid(info.iid)),
      source_(Utf8ToUtf16(info.prog_id)) {}

HRESULT ObjectCore::TypeInfo(ITypeInfo** out) noexcept {
  if (!type_info_) {
    const HRESULT hr = LoadInterfaceTypeInfo(iid_, type_info_.Put());
    if (FAILED(hr)) return hr;
  }
  *out = type_info_.Get();
  return S_OK;
}

HRESULT ObjectCore::GetTypeInfo(UINT index, ITypeInfo** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* info = nullptr;
  const HRESULT hr = TypeInfo(&info);
  if (FAILED(hr)) return hr;
  info->AddRef();
  *out = info;
  return S_OK;
}

HRESULT ObjectCore::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  const HRESULT hr = TypeInfo(&info);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(info, names, count, ids);
}

void ObjectCore::MemberEntered() noexcept {
  if (call_ != nullptr) call_->member_ran = true;
}

HRESULT ObjectCore::MemberFailed() noexcept {
  try {
    Error error = CurrentError();
    if (call_ != nullptr) call_->error = error;
    return PublishError(error, iid_, source_);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

WORD ObjectCore::ChoosePutKind(DISPID id, WORD flags) const noexcept {
  // A property that holds an object has only an object-property write; JScript has no
  // "Set" and writes every property with a plain put.
  if ((flags & DISPATCH_PROPERTYPUT) != 0 &&
      FindMember(info_, id, MemberKind::kPropertyPut) == nullptr &&
      FindMember(info_, id, MemberKind::kPropertyPutRef) != nullptr) {
    return DISPATCH_PROPERTYPUTREF;
  }
  if ((flags & DISPATCH_PROPERTYPUTREF) != 0 &&
      FindMember(info_, id, MemberKind::kPropertyPutRef) == nullptr &&
      FindMember(info_, id, MemberKind::kPropertyPut) != nullptr) {
    return DISPATCH_PROPERTYPUT;
  }
  return flags;
}

bool ObjectCore::IsCollectionProperty(DISPID id, WORD flags) const noexcept {
  if (collections_ == nullptr) return false;
  if ((flags & DISPATCH_PROPERTYPUTREF) != 0) {
    const Member* m = FindMember(info_, id, MemberKind::kPropertyPutRef);
    return m != nullptr && m->parameters.size() == 1 &&
           m->parameters[0].type == contract::ValueType::kCollection;
  }
  const Member* m = FindMember(info_, id, MemberKind::kPropertyGet);
  return (flags & DISPATCH_PROPERTYGET) != 0 && m != nullptr &&
         m->result == contract::ValueType::kCollection;
}

HRESULT ObjectCore::Invoke(IDispatch* self, DISPID id, REFIID riid, LCID, WORD flags,
                           DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                           UINT* arg_error) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  Call call;
  Call* const outer = std::exchange(call_, &call);
  HRESULT hr = S_OK;
  try {
    hr = InvokeChecked(self, id, flags, params, result, excep, arg_error);
  } catch (...) {
    // Raised while preparing or writing back the arguments.
    try {
      call.error = CurrentError();
    } catch (...) {
      hr = E_OUTOFMEMORY;
    }
    if (hr != E_OUTOFMEMORY) hr = DISP_E_EXCEPTION;
  }
  call_ = outer;
  if (FAILED(hr) && call.error) {
    if (excep == nullptr) return call.error->HResult();
    if (call.excep_filled) ClearExcepInfo(excep);
    FillExcepInfo(excep, *call.error, source_);
    return DISP_E_EXCEPTION;
  }
  return hr;
}

HRESULT ObjectCore::InvokeChecked(IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
  flags = ChoosePutKind(id, flags);
  if (IsCollectionProperty(id, flags)) {
    DispatchArguments arguments;
    const Member* write = FindMember(info_, id, MemberKind::kPropertyPutRef);
    HRESULT hr = arguments.Prepare(*params, write, arg_error);
    if (FAILED(hr)) return hr;
    hr = InvokeCollectionProperty(*collections_, flags, *arguments.Params(), result, excep,
                                  arg_error);
    call_->excep_filled = hr == DISP_E_EXCEPTION;
    return hr;
  }

  ITypeInfo* info = nullptr;
  HRESULT hr = TypeInfo(&info);
  if (FAILED(hr)) return hr;

  const Member* member = nullptr;
  if ((flags & DISPATCH_METHOD) != 0) member = FindMember(info_, id, MemberKind::kMethod);
  if ((flags & DISPATCH_PROPERTYPUT) != 0) member = FindMember(info_, id, MemberKind::kPropertyPut);
  if ((flags & DISPATCH_PROPERTYPUTREF) != 0) {
    member = FindMember(info_, id, MemberKind::kPropertyPutRef);
  }
  DispatchArguments arguments;
  hr = arguments.Prepare(*params, member, arg_error);
  if (FAILED(hr)) return hr;

  hr = info->Invoke(self, id, flags, arguments.Params(), result, excep, arg_error);
  call_->excep_filled = hr == DISP_E_EXCEPTION;
  // The member's in/out values reach the caller also when it failed: nothing it did
  // before the error is undone.
  if (call_->member_ran) arguments.WriteBack();
  return hr;
}

}  // namespace vexmar::com
