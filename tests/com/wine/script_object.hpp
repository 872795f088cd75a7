#pragma once
// A small late-bound automation object for the test programs: members by name from a
// fixed table, arguments in call order with references followed, errors as EXCEPINFO.
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace vexmar::wine_tests {

// Raised by a member: the status and the description the caller receives.
struct ScriptError {
  HRESULT status;
  std::wstring description;
};

struct ScriptMember {
  const wchar_t* name;
  DISPID id;
};

class ScriptObject : public IDispatch {
 public:
  ScriptObject(std::vector<IID> interfaces, std::vector<ScriptMember> members)
      : interfaces_(std::move(interfaces)), members_(std::move(members)) {}
  virtual ~ScriptObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
    for (const IID& own : interfaces_) known = known || IsEqualIID(iid, own);
    if (!known) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const ScriptMember& m : members_) {
      if (_wcsicmp(m.name, names[0]) == 0) {
        ids[0] = m.id;
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT*) override {
    std::vector<VARIANT> args(params->cArgs);
    for (UINT k = 0; k < params->cArgs; ++k) {
      VariantInit(&args[k]);
      VariantCopyInd(&args[k], &params->rgvarg[params->cArgs - 1 - k]);
    }
    VARIANT ignored;
    VariantInit(&ignored);
    AddRef();
    HRESULT hr = S_OK;
    try {
      hr = Call(id, flags, locale, args, result != nullptr ? result : &ignored);
    } catch (const ScriptError& error) {
      if (excep != nullptr) {
        *excep = EXCEPINFO{};
        excep->scode = error.status;
        excep->bstrDescription = SysAllocString(error.description.c_str());
        excep->bstrSource = SysAllocString(L"StandIn");
        hr = DISP_E_EXCEPTION;
      } else {
        hr = error.status;
      }
    }
    Release();
    VariantClear(&ignored);
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
  }

 protected:
  // Arguments in call order, plain values; `result` is empty on entry.
  virtual HRESULT Call(DISPID id, WORD flags, LCID locale, std::vector<VARIANT>& args,
                       VARIANT* result) = 0;

 private:
  std::atomic<ULONG> refs_{1};
  std::vector<IID> interfaces_;
  std::vector<ScriptMember> members_;
};

inline void SetText(VARIANT* out, const std::wstring& text) {
  V_VT(out) = VT_BSTR;
  V_BSTR(out) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

inline void SetNumber(VARIANT* out, LONG value) {
  V_VT(out) = VT_I4;
  V_I4(out) = value;
}

// Hands an object (with one reference of its creator) to the caller as VT_DISPATCH.
inline void SetObject(VARIANT* out, IDispatch* object) {
  V_VT(out) = VT_DISPATCH;
  V_DISPATCH(out) = object;
}

}  // namespace vexmar::wine_tests
