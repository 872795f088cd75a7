#pragma once
// The collection behind PingRules and FilesName as an Automation object of the
// platform's collection type (_Collection, a dispatch interface): Item (the default
// member, so that c(1) works in script), Add, Count, Remove and _NewEnum for For Each,
// by the dispatch ids of that interface, so that a host bound early to it reaches the
// same members. It shares the library's collection by reference.
#include "vexmar/com/windows_com.hpp"

#include <atomic>

#include "CollectionInterface.h"  // _Collection, written from the class table by the build
#include "vexmar/com/com_ptr.hpp"
#include "vexmar/com/module.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::com {

class CollectionObject final : public _Collection {
 public:
  // Dispatch ids; Item is the default member.
  static constexpr DISPID kItem = contract::kCollectionItem.dispid;
  static constexpr DISPID kAdd = contract::kCollectionAdd.dispid;
  static constexpr DISPID kCount = contract::kCollectionCount.dispid;
  static constexpr DISPID kRemove = contract::kCollectionRemove.dispid;
  static_assert(kItem == DISPID_VALUE && contract::kCollectionNewEnum.dispid == DISPID_NEWENUM);

  // A new object for `collection` (not null); std::bad_alloc when memory runs out.
  static ComPtr<_Collection> Wrap(CollectionRef collection);
  // The library collection of one of this module's collection objects; null for any
  // other object.
  static CollectionRef Unwrap(IUnknown* object) noexcept;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* arg_error) override;

 private:
  explicit CollectionObject(CollectionRef collection) : collection_(std::move(collection)) {}
  virtual ~CollectionObject() = default;

  // Throws Error for a failing operation.
  HRESULT Dispatch(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result);

  LiveObject live_;
  std::atomic<ULONG> refs_{1};
  CollectionRef collection_;
};

}  // namespace vexmar::com
