#pragma once
// A value a caller adds to a collection that is not a string: kept exactly as given, so
// that Item gives back the same type and value.
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

}  // namespace vexmar::com
