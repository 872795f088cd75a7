#include "vexmar/com/bstr.hpp"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace vexmar::com {

std::u16string FromBstr(const OLECHAR* text) {
  if (text == nullptr) return {};
  const UINT length = SysStringLen(const_cast<OLECHAR*>(text));
  std::u16string out(length, u'\0');
  std::transform(text, text + length, out.begin(),
                 [](OLECHAR unit) { return static_cast<char16_t>(unit); });
  return out;
}

BSTR ToBstr(std::u16string_view text) {
  if (text.size() > 0x7FFFFFF0u / sizeof(OLECHAR)) throw std::bad_alloc();
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (out == nullptr) throw std::bad_alloc();
  std::transform(text.begin(), text.end(), out,
                 [](char16_t unit) { return static_cast<OLECHAR>(unit); });
  return out;
}

namespace {

// A 1-D array of `vt` with indexes 0..upper, filled by `store(index, text)`.
template <typename Store>
UniqueSafeArray MakeArray(VARTYPE vt, const StringList& list, Store store) {
  if (!list.HasBounds()) return nullptr;
  const auto items = list.Items();
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 0};
  UniqueSafeArray array(SafeArrayCreate(vt, 1, &bound));
  if (!array) throw std::bad_alloc();
  for (std::size_t i = 0; i < items.size(); ++i) {
    LONG index = static_cast<LONG>(i);
    if (FAILED(store(array.get(), &index, items[i]))) throw std::bad_alloc();
  }
  return array;
}

}  // namespace

UniqueSafeArray ToBstrArray(const StringList& list) {
  return MakeArray(VT_BSTR, list, [](SAFEARRAY* array, LONG* index, const std::u16string& text) {
    UniqueBstr value(ToBstr(text));
    return SafeArrayPutElement(array, index, value.get());  // copies the string
  });
}

UniqueSafeArray ToVariantArray(const StringList& list) {
  return MakeArray(VT_VARIANT, list, [](SAFEARRAY* array, LONG* index, const std::u16string& text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = ToBstr(text);
    const HRESULT hr = SafeArrayPutElement(array, index, &value);  // copies
    VariantClear(&value);
    return hr;
  });
}

StringList FromBstrArray(SAFEARRAY* array) {
  VARTYPE vt = VT_EMPTY;
  if (array == nullptr || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &vt)) ||
      vt != VT_BSTR) {
    return {};
  }
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  std::vector<std::u16string> items;
  for (LONG i = lower; i <= upper; ++i) {
    BSTR* element = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(array, &i, reinterpret_cast<void**>(&element)))) break;
    items.push_back(FromBstr(*element));
  }
  if (items.empty()) return {};
  return StringList::FromVector(std::move(items));
}

bool IsFixedOrLocked(const SAFEARRAY* array) noexcept {
  if (array == nullptr) return false;
  constexpr USHORT kFixed = FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED | FADF_AUTO;
  return (array->fFeatures & kFixed) != 0 || array->cLocks != 0;
}

}  // namespace vexmar::com
