#include "vexmar/com/com_value.hpp"

#include "vexmar/com/windows_com.hpp"

#include <new>

namespace vexmar::com {

ComValue::ComValue(const VARIANT& value) {
  VariantInit(&value_);
  if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&value)))) throw std::bad_alloc();
}

ComValue::~ComValue() { VariantClear(&value_); }

HRESULT ComValue::CopyTo(VARIANT* out) const noexcept {
  return VariantCopy(out, const_cast<VARIANT*>(&value_));
}

}  // namespace vexmar::com
