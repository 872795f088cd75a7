#pragma once
// Collection items between the library's values and Automation Variants. Strings are
// the library's own; any other value a caller adds is kept exactly as given, so that
// Item gives back the same type and value.
#include "vexmar/com/windows_com.hpp"

#include "vexmar/component/value.hpp"

namespace vexmar::com {

// A caller's value that the library holds only to give it back.
class ComValue final : public Object {
 public:
  explicit ComValue(const VARIANT& value);  // a copy; std::bad_alloc when it fails
  ~ComValue() override;
  ComValue(const ComValue&) = delete;
  ComValue& operator=(const ComValue&) = delete;

  // A copy into `out`, which must be empty.
  HRESULT CopyTo(VARIANT* out) const noexcept;

 private:
  VARIANT value_;
};

// A caller's value (not by reference) as a collection item.
Variant ToItem(const VARIANT& value);
// A collection item as a new Variant in `out` (which must be empty). Throws Error and
// std::bad_alloc.
void FromItem(const Variant& item, VARIANT* out);

}  // namespace vexmar::com
