#include "vexmar/com/dispatch_arguments.hpp"

#include "vexmar/com/windows_com.hpp"

#include <string>
#include <utility>

#include "vexmar/com/bstr.hpp"
#include "vexmar/com/com_error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::com {
namespace {

using contract::ValueType;

// Script engines may hand on a by-reference Variant that refers to another one.
constexpr int kMaxReferenceDepth = 8;

VARTYPE DeclaredType(ValueType type) {
  switch (type) {
    case ValueType::kString:
      return VT_BSTR;
    case ValueType::kInt32:
      return VT_I4;
    case ValueType::kFloat32:
      return VT_R4;
    case ValueType::kBool16:
      return VT_BOOL;
    case ValueType::kStringList:
      return VT_ARRAY | VT_BSTR;
    case ValueType::kCollection:
      return VT_DISPATCH;
    case ValueType::kNone:
      break;
  }
  return VT_EMPTY;
}

// A Variant with a value of `vt`, or the conversion's failure status.
HRESULT ConvertScalar(const VARIANT& value, VARTYPE vt, VARIANT& out) {
  VariantInit(&out);
  return VariantChangeType(&out, const_cast<VARIANT*>(&value), 0, vt);
}

// A new one-dimensional BSTR array with the bounds and strings of `source`, an array of
// BSTR or of Variants that convert to strings.
HRESULT CopyAsStringArray(SAFEARRAY* source, VARTYPE element_type, SAFEARRAY** out) {
  *out = nullptr;
  if (source == nullptr) return S_OK;
  if (SafeArrayGetDim(source) != 1) return DISP_E_TYPEMISMATCH;
  if (element_type == VT_BSTR) return SafeArrayCopy(source, out);
  if (element_type != VT_VARIANT) return DISP_E_TYPEMISMATCH;

  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(source, 1, &lower);
  SafeArrayGetUBound(source, 1, &upper);
  SAFEARRAYBOUND bound{static_cast<ULONG>(static_cast<LONGLONG>(upper) - lower + 1), lower};
  UniqueSafeArray copy(SafeArrayCreate(VT_BSTR, 1, &bound));
  if (!copy) return E_OUTOFMEMORY;
  for (LONG i = lower; i <= upper; ++i) {
    VARIANT element;
    VariantInit(&element);
    HRESULT hr = SafeArrayGetElement(source, &i, &element);  // a copy
    if (SUCCEEDED(hr)) {
      VARIANT text;
      hr = ConvertScalar(element, VT_BSTR, text);
      if (SUCCEEDED(hr)) hr = SafeArrayPutElement(copy.get(), &i, V_BSTR(&text));
      VariantClear(&text);
    }
    VariantClear(&element);
    if (FAILED(hr)) return hr;
  }
  *out = copy.release();
  return S_OK;
}

}  // namespace

DispatchArguments::~DispatchArguments() {
  if (!slots_) return;
  for (std::size_t i = 0; i < args_.size(); ++i) {
    Slot& slot = slots_[i];
    SysFreeString(slot.text);
    if (slot.array != nullptr) SafeArrayDestroy(slot.array);
    VariantClear(&slot.copy);
  }
}

HRESULT DispatchArguments::Prepare(const DISPPARAMS& params, const contract::Member* member,
                                   UINT* arg_error) {
  params_ = params;
  const UINT count = params.cArgs;
  if (count == 0 || params.rgvarg == nullptr) return S_OK;
  if (params.cNamedArgs > count || (params.cNamedArgs > 0 && params.rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }

  args_.assign(params.rgvarg, params.rgvarg + count);  // the caller keeps ownership
  slots_ = std::make_unique<Slot[]>(count);
  params_.rgvarg = args_.data();

  for (UINT i = 0; i < count; ++i) {
    VARIANTARG& arg = args_[i];
    Slot& slot = slots_[i];
    // Arguments come last first; named ones stand before the positional ones. The value
    // of a property write is the member's last parameter.
    LONG position =
        i < params.cNamedArgs ? params.rgdispidNamedArgs[i] : static_cast<LONG>(count - 1 - i);
    if (member != nullptr && position == DISPID_PROPERTYPUT) {
      position = static_cast<LONG>(member->parameters.size()) - 1;
    }
    const contract::Parameter* parameter = nullptr;
    if (member != nullptr && position >= 0 &&
        static_cast<std::size_t>(position) < member->parameters.size()) {
      parameter = &member->parameters[static_cast<std::size_t>(position)];
    }

    HRESULT hr = S_OK;
    if (parameter != nullptr && parameter->direction == contract::Direction::kInOut) {
      slot.parameter = parameter;
      hr = PrepareInOut(arg, slot);
    } else if (V_VT(&arg) == (VT_BYREF | VT_VARIANT)) {
      hr = VariantCopyInd(&slot.copy, &arg);
      for (int depth = 0; SUCCEEDED(hr) && V_VT(&slot.copy) == (VT_BYREF | VT_VARIANT); ++depth) {
        if (depth == kMaxReferenceDepth) {
          hr = DISP_E_TYPEMISMATCH;
          break;
        }
        VARIANT inner;
        VariantInit(&inner);
        hr = VariantCopyInd(&inner, &slot.copy);
        VariantClear(&slot.copy);
        slot.copy = inner;
      }
      arg = slot.copy;  // a shallow view; the slot owns the value
    }
    if (SUCCEEDED(hr) && parameter != nullptr &&
        parameter->type == contract::ValueType::kCollection &&
        (V_VT(&arg) == VT_NULL || V_VT(&arg) == VT_EMPTY)) {
      V_VT(&arg) = VT_DISPATCH;
      V_DISPATCH(&arg) = nullptr;
    }
    if (FAILED(hr)) {
      if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
      if (arg_error != nullptr) *arg_error = i;
      return hr;
    }
  }
  return S_OK;
}

HRESULT DispatchArguments::PrepareInOut(VARIANTARG& arg, Slot& slot) {
  const VARTYPE declared = DeclaredType(slot.parameter->type);
  if (V_VT(&arg) == (VT_BYREF | declared)) {
    // Already what the member takes, as an early-bound caller passes it.
    slot.parameter = nullptr;
    return S_OK;
  }
  const VARIANT* value = &arg;
  const HRESULT hr = FindCallerVariant(arg, &slot.target);
  if (FAILED(hr)) return hr;
  if (slot.target != nullptr) value = slot.target;
  if (slot.parameter->type == ValueType::kStringList) return PrepareStringList(*value, arg, slot);
  return PrepareScalar(*value, declared, arg, slot);
}

HRESULT DispatchArguments::FindCallerVariant(const VARIANTARG& arg, VARIANT** target) {
  if (V_VT(&arg) == (VT_BYREF | VT_VARIANT)) {
    VARIANT* referred = V_VARIANTREF(&arg);
    for (int depth = 0; referred != nullptr && V_VT(referred) == (VT_BYREF | VT_VARIANT);
         ++depth) {
      if (depth == kMaxReferenceDepth) return DISP_E_TYPEMISMATCH;
      referred = V_VARIANTREF(referred);
    }
    if (referred == nullptr) return E_POINTER;
    *target = referred;
  } else if (V_ISBYREF(&arg)) {
    // A typed reference of another type: the member's value could not go back.
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT DispatchArguments::PrepareStringList(const VARIANT& value, VARIANTARG& arg, Slot& slot) {
  const VARTYPE vt = V_VT(&value);
  const VARTYPE plain = static_cast<VARTYPE>(vt & ~VT_BYREF);
  if (plain == VT_EMPTY || plain == VT_NULL || plain == VT_ERROR) {
    slot.array = nullptr;  // an absent list
  } else if ((plain & VT_ARRAY) != 0) {
    SAFEARRAY* source = (vt & VT_BYREF) != 0 ? *V_ARRAYREF(&value) : V_ARRAY(&value);
    // A script engine's "Dim a(1)" is a fixed array, or a reference to array storage
    // the engine owns: the member must not free or replace either.
    if (slot.target != nullptr && ((vt & VT_BYREF) != 0 || IsFixedOrLocked(source))) {
      throw FixedArrayError(Utf8ToUtf16(slot.parameter->name));
    }
    const auto element_type = static_cast<VARTYPE>(plain & ~VT_ARRAY);
    slot.keep_string_array = element_type == VT_BSTR;
    const HRESULT hr = CopyAsStringArray(source, element_type, &slot.array);
    if (FAILED(hr)) return hr;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
  V_ARRAYREF(&arg) = &slot.array;
  return S_OK;
}

HRESULT DispatchArguments::PrepareScalar(const VARIANT& value, VARTYPE declared, VARIANTARG& arg,
                                         Slot& slot) {
  VARIANT converted;
  const HRESULT hr = ConvertScalar(value, declared, converted);
  if (FAILED(hr)) return hr;
  switch (slot.parameter->type) {
    case ValueType::kString:
      slot.text = V_BSTR(&converted);
      V_VT(&arg) = VT_BYREF | VT_BSTR;
      V_BSTRREF(&arg) = &slot.text;
      break;
    case ValueType::kInt32:
      slot.number = V_I4(&converted);
      V_VT(&arg) = VT_BYREF | VT_I4;
      V_I4REF(&arg) = &slot.number;
      break;
    case ValueType::kFloat32:
      slot.single = V_R4(&converted);
      V_VT(&arg) = VT_BYREF | VT_R4;
      V_R4REF(&arg) = &slot.single;
      break;
    case ValueType::kBool16:
      slot.flag = V_BOOL(&converted);
      V_VT(&arg) = VT_BYREF | VT_BOOL;
      V_BOOLREF(&arg) = &slot.flag;
      break;
    default:
      VariantClear(&converted);
      return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

void DispatchArguments::WriteBack() {
  if (!slots_) return;
  for (std::size_t i = 0; i < args_.size(); ++i) {
    Slot& slot = slots_[i];
    if (slot.target == nullptr || slot.parameter == nullptr) continue;
    VARIANT fresh;
    VariantInit(&fresh);
    switch (slot.parameter->type) {
      case ValueType::kString:
        V_VT(&fresh) = VT_BSTR;
        V_BSTR(&fresh) = std::exchange(slot.text, nullptr);
        break;
      case ValueType::kInt32:
        V_VT(&fresh) = VT_I4;
        V_I4(&fresh) = slot.number;
        break;
      case ValueType::kFloat32:
        V_VT(&fresh) = VT_R4;
        V_R4(&fresh) = slot.single;
        break;
      case ValueType::kBool16:
        V_VT(&fresh) = VT_BOOL;
        V_BOOL(&fresh) = slot.flag;
        break;
      case ValueType::kStringList:
        if (slot.array == nullptr) break;
        if (slot.keep_string_array) {
          V_VT(&fresh) = VT_ARRAY | VT_BSTR;
          V_ARRAY(&fresh) = std::exchange(slot.array, nullptr);
        } else {
          // Script hosts index arrays of Variants.
          UniqueSafeArray variants = ToVariantArray(FromBstrArray(slot.array));
          if (variants) {
            V_VT(&fresh) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(&fresh) = variants.release();
          }
        }
        break;
      default:
        continue;
    }
    if (FAILED(VariantClear(slot.target))) {
      VariantClear(&fresh);
      throw FixedArrayError(Utf8ToUtf16(slot.parameter->name));
    }
    *slot.target = fresh;
    slot.target = nullptr;  // written once
  }
}

}  // namespace vexmar::com
