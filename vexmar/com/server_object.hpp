#pragma once
// The COM side of one of the library's classes: IUnknown with reference counting,
// IDispatch driven by the module's type library (the collection property excepted, see
// collection_dispatch.hpp), ISupportErrorInfo, and the frame every
// interface member runs in (an extra reference on the object for the call, errors turned
// into the Automation status and error object).
#include "vexmar/com/windows_com.hpp"

#include <atomic>
#include <optional>
#include <string>

#include "vexmar/com/collection_dispatch.hpp"
#include "vexmar/com/com_error.hpp"
#include "vexmar/com/com_ptr.hpp"
#include "vexmar/com/module.hpp"
#include "vexmar/com/windows_guid.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::com {

// What does not depend on the interface type.
class ObjectCore {
 public:
  // `collections`: the class's collection property, if it has one.
  ObjectCore(const contract::ClassInfo& info, CollectionMembers* collections);

  const contract::ClassInfo& Info() const noexcept { return info_; }
  const GUID& Iid() const noexcept { return iid_; }

  HRESULT GetTypeInfo(UINT index, ITypeInfo** out) noexcept;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
  // `self` is the object's interface, whose entries the type library calls.
  HRESULT Invoke(IDispatch* self, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;

  // Called by a member on entry, and from its catch block.
  void MemberEntered() noexcept;
  HRESULT MemberFailed() noexcept;

 private:
  // What one dispatch call learns from the member it reached.
  struct Call {
    bool member_ran = false;
    bool excep_filled = false;  // the type library's dispatch filled the caller's EXCEPINFO
    std::optional<Error> error;
  };

  HRESULT TypeInfo(ITypeInfo** out) noexcept;
  HRESULT InvokeChecked(IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* arg_error);
  WORD ChoosePutKind(DISPID id, WORD flags) const noexcept;
  bool IsCollectionProperty(DISPID id, WORD flags) const noexcept;

  const contract::ClassInfo& info_;
  CollectionMembers* collections_;
  GUID iid_;
  std::u16string source_;  // the ProgID, named as the source of errors
  ComPtr<ITypeInfo> type_info_;
  Call* call_ = nullptr;  // the dispatch call in progress, if any
};

template <typename Interface>
class ServerObject : public Interface, public ISupportErrorInfo {
 public:
  explicit ServerObject(const contract::ClassInfo& info,
                          CollectionMembers* collections = nullptr)
      : core_(info, collections) {}
  virtual ~ServerObject() = default;
  ServerObject(const ServerObject&) = delete;
  ServerObject& operator=(const ServerObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, core_.Iid())) {
      *object = static_cast<Interface*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
      *object = static_cast<ISupportErrorInfo*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
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
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    return core_.GetTypeInfo(index, out);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return core_.GetIDsOfNames(riid, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* arg_error) override {
    AddRef();  // the object outlives the call even if the caller lets it go meanwhile
    const HRESULT hr = core_.Invoke(static_cast<Interface*>(this), id, riid, lcid, flags, params,
                                    result, excep, arg_error);
    Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, core_.Iid()) || IsEqualIID(iid, IID_IDispatch) ? S_OK : S_FALSE;
  }

 protected:
  // Runs one interface member: an extra reference for the call, and every error that
  // escapes `body` reported to the caller as the Automation status and error object.
  template <typename Body>
  HRESULT Member(Body&& body) noexcept {
    AddRef();
    core_.MemberEntered();
    HRESULT hr = S_OK;
    try {
      body();
    } catch (...) {
      hr = core_.MemberFailed();
    }
    Release();
    return hr;
  }

 private:
  LiveObject live_;
  std::atomic<ULONG> refs_{1};
  ObjectCore core_;
};

// For a new object made with refcount 1: hands out `iid` and drops the creator's
// reference, so that a failed QueryInterface destroys the object.
template <typename Object>
HRESULT HandOut(Object* object, REFIID iid, void** out) noexcept {
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

}  // namespace vexmar::com
