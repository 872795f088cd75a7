#include "vexmar/com/collection_object.hpp"

#include "vexmar/com/windows_com.hpp"

#include <cstddef>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>

#include "vexmar/com/bstr.hpp"
#include "vexmar/com/com_error.hpp"
#include "vexmar/com/com_value.hpp"
#include "vexmar/com/windows_guid.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::com {
namespace {

// Answers QueryInterface only inside this module, to recognise its own collections.
constexpr GUID kCollectionObjectIid = {
    0x093E62F7, 0xADF7, 0x4C9A, {0x96, 0x56, 0x9A, 0x5C, 0x1A, 0x7D, 0x0A, 0x5D}};

const GUID kCollectionIid = ToGuid(contract::kCollectionIid);

constexpr std::u16string_view kSource = u"VexmarExt";

struct NamedId {
  const wchar_t* name;
  DISPID id;
};
constexpr NamedId kNames[] = {{L"Item", CollectionObject::kItem},
                              {L"Add", CollectionObject::kAdd},
                              {L"Count", CollectionObject::kCount},
                              {L"Remove", CollectionObject::kRemove},
                              {L"_NewEnum", DISPID_NEWENUM}};

// A caller's value (not by reference) as a collection item. Strings are the library's
// own; a collection of this module stays itself; anything else is kept as given.
Variant ToItem(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR) return FromBstr(V_BSTR(&value));
  if (V_VT(&value) == VT_EMPTY) return Empty{};
  // A collection of this module added to another stays the same collection.
  if (V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN) {
    if (CollectionRef inner = CollectionObject::Unwrap(V_UNKNOWN(&value))) return ObjectRef(inner);
  }
  return ObjectRef(std::make_shared<ComValue>(value));
}

// A collection item as a new Variant in `out` (which must be empty). Throws Error and
// std::bad_alloc.
void FromItem(const Variant& item, VARIANT* out) {
  std::visit(
      [out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          V_VT(out) = VT_EMPTY;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          V_VT(out) = VT_I4;
          V_I4(out) = v;
        } else if constexpr (std::is_same_v<T, float>) {
          V_VT(out) = VT_R4;
          V_R4(out) = v;
        } else if constexpr (std::is_same_v<T, Bool16>) {
          V_VT(out) = VT_BOOL;
          V_BOOL(out) = v.value;
        } else if constexpr (std::is_same_v<T, std::u16string>) {
          V_BSTR(out) = ToBstr(v);
          V_VT(out) = VT_BSTR;
        } else if constexpr (std::is_same_v<T, StringList>) {
          UniqueSafeArray array = ToVariantArray(v);
          if (array) {
            V_ARRAY(out) = array.release();
            V_VT(out) = VT_ARRAY | VT_VARIANT;
          }
        } else {
          if (const auto* kept = dynamic_cast<const ComValue*>(v.get())) {
            if (FAILED(kept->CopyTo(out))) throw std::bad_alloc();
          } else if (auto collection = std::dynamic_pointer_cast<Collection>(v)) {
            V_DISPATCH(out) = CollectionObject::Wrap(std::move(collection)).Detach();
            V_VT(out) = VT_DISPATCH;
          } else if (!v) {
            V_DISPATCH(out) = nullptr;
            V_VT(out) = VT_DISPATCH;
          } else {
            Raise(ErrorNumber::kTypeMismatch);
          }
        }
      },
      item);
}

// The k-th argument in call order.
const VARIANT& Argument(const DISPPARAMS& params, UINT k) {
  return params.rgvarg[params.cArgs - 1 - k];
}

bool IsMissing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

// A plain copy of an argument, references followed.
struct PlainArgument {
  explicit PlainArgument(const VARIANT& arg) {
    VariantInit(&value);
    const HRESULT hr = VariantCopyInd(&value, const_cast<VARIANT*>(&arg));
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) Raise(ErrorNumber::kTypeMismatch);
  }
  ~PlainArgument() { VariantClear(&value); }
  PlainArgument(const PlainArgument&) = delete;
  PlainArgument& operator=(const PlainArgument&) = delete;
  VARIANT value;
};

// An index argument; the collection has no keys, so a text is no index.
std::int32_t IndexArgument(const VARIANT& arg) {
  PlainArgument plain(arg);
  if (V_VT(&plain.value) == VT_BSTR) Raise(ErrorNumber::kInvalidProcedureCall);
  VARIANT number;
  VariantInit(&number);
  const HRESULT hr = VariantChangeType(&number, &plain.value, 0, VT_I4);
  if (hr == DISP_E_OVERFLOW) Raise(ErrorNumber::kSubscriptOutOfRange);
  if (FAILED(hr)) Raise(ErrorNumber::kTypeMismatch);
  return V_I4(&number);
}

// One pass over a collection, reading it live, so items added meanwhile are reached.
class Enumerator final : public IEnumVARIANT {
 public:
  Enumerator(CollectionRef collection, std::int32_t next)
      : collection_(std::move(collection)), next_(next) {}
  virtual ~Enumerator() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumVARIANT)) {
      *object = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (wanted == 0) return S_OK;
    if (out == nullptr || (wanted > 1 && fetched == nullptr)) return E_POINTER;
    ULONG got = 0;
    try {
      while (got < wanted && next_ <= collection_->Count()) {
        VariantInit(&out[got]);
        FromItem(collection_->Item(next_), &out[got]);
        ++next_;
        ++got;
      }
    } catch (...) {
      for (ULONG i = 0; i < got; ++i) VariantClear(&out[i]);
      return E_OUTOFMEMORY;
    }
    if (fetched != nullptr) *fetched = got;
    return got == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::int64_t end = collection_->Count() + std::int64_t{1};
    const std::int64_t target = next_ + static_cast<std::int64_t>(count);
    next_ = static_cast<std::int32_t>(target < end ? target : end);
    return target <= end ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) Enumerator(collection_, next_);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  LiveObject live_;
  std::atomic<ULONG> refs_{1};
  CollectionRef collection_;
  std::int32_t next_;
};

}  // namespace

ComPtr<_Collection> CollectionObject::Wrap(CollectionRef collection) {
  return ComPtr<_Collection>::Adopt(new CollectionObject(std::move(collection)));
}

CollectionRef CollectionObject::Unwrap(IUnknown* object) noexcept {
  if (object == nullptr) return nullptr;
  IDispatch* ours = nullptr;
  if (FAILED(object->QueryInterface(kCollectionObjectIid, reinterpret_cast<void**>(&ours))) ||
      ours == nullptr) {
    return nullptr;
  }
  CollectionRef inner = static_cast<CollectionObject*>(ours)->collection_;
  ours->Release();
  return inner;
}

HRESULT CollectionObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  // _Collection is a dispatch interface: its entries are those of IDispatch.
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, kCollectionIid) || IsEqualIID(iid, kCollectionObjectIid)) {
    *object = static_cast<_Collection*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CollectionObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT CollectionObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT CollectionObject::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out != nullptr) *out = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT CollectionObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Arguments have no names the caller could use.
  for (const NamedId& entry : kNames) {
    if (names[0] != nullptr &&
        CompareStringOrdinal(names[0], -1, entry.name, -1, TRUE) == CSTR_EQUAL) {
      ids[0] = entry.id;
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT CollectionObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  (void)arg_error;
  AddRef();
  HRESULT hr = S_OK;
  try {
    hr = Dispatch(id, flags, *params, result);
  } catch (...) {
    try {
      const Error error = CurrentError();
      if (excep != nullptr) {
        FillExcepInfo(excep, error, kSource);
        hr = DISP_E_EXCEPTION;
      } else {
        hr = error.HResult();
      }
    } catch (...) {
      hr = E_OUTOFMEMORY;
    }
  }
  Release();
  return hr;
}

HRESULT CollectionObject::Dispatch(DISPID id, WORD flags, const DISPPARAMS& params,
                                   VARIANT* result) {
  const bool call = (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
  const UINT args = params.cArgs;
  VARIANT ignored;
  VariantInit(&ignored);
  VARIANT* out = result != nullptr ? result : &ignored;
  switch (id) {
    case kItem: {
      if (!call) return DISP_E_MEMBERNOTFOUND;
      if (args != 1) return DISP_E_BADPARAMCOUNT;
      const Variant& item = collection_->Item(IndexArgument(Argument(params, 0)));
      VariantInit(out);
      FromItem(item, out);
      break;
    }
    case kCount:
      if (!call) return DISP_E_MEMBERNOTFOUND;
      if (args != 0) return DISP_E_BADPARAMCOUNT;
      if (result != nullptr) {
        const std::int32_t count = collection_->Count();
        VariantInit(result);
        V_VT(result) = VT_I4;
        V_I4(result) = count;
      }
      return S_OK;
    case kAdd: {
      if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
      if (args < 1 || args > 4) return DISP_E_BADPARAMCOUNT;
      // Keys and positions are not kept: the collection only appends.
      for (UINT k = 1; k < args; ++k) {
        if (!IsMissing(Argument(params, k))) Raise(ErrorNumber::kInvalidProcedureCall);
      }
      PlainArgument value(Argument(params, 0));
      collection_->Add(ToItem(value.value));
      if (result != nullptr) VariantInit(result);
      return S_OK;
    }
    case kRemove:
      if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
      if (args != 1) return DISP_E_BADPARAMCOUNT;
      collection_->Remove(IndexArgument(Argument(params, 0)));
      if (result != nullptr) VariantInit(result);
      return S_OK;
    case DISPID_NEWENUM: {
      if (!call) return DISP_E_MEMBERNOTFOUND;
      if (args != 0) return DISP_E_BADPARAMCOUNT;
      if (result != nullptr) {
        VariantInit(result);
        V_UNKNOWN(result) = new Enumerator(collection_, 1);
        V_VT(result) = VT_UNKNOWN;
      }
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  VariantClear(&ignored);
  return S_OK;
}

}  // namespace vexmar::com
