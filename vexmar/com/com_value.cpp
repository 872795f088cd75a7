#include "vexmar/com/com_value.hpp"

#include "vexmar/com/windows_com.hpp"

#include <memory>
#include <new>
#include <type_traits>

#include "vexmar/com/bstr.hpp"
#include "vexmar/com/collection_object.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::com {

ComValue::ComValue(const VARIANT& value) {
  VariantInit(&value_);
  if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&value)))) throw std::bad_alloc();
}

ComValue::~ComValue() { VariantClear(&value_); }

HRESULT ComValue::CopyTo(VARIANT* out) const noexcept {
  return VariantCopy(out, const_cast<VARIANT*>(&value_));
}

Variant ToItem(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR) return FromBstr(V_BSTR(&value));
  if (V_VT(&value) == VT_EMPTY) return Empty{};
  // A collection of this module added to another stays the same collection.
  if (V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN) {
    if (CollectionRef inner = CollectionObject::Unwrap(V_UNKNOWN(&value))) return ObjectRef(inner);
  }
  return ObjectRef(std::make_shared<ComValue>(value));
}

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

}  // namespace vexmar::com
