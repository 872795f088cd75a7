#pragma once
// Value types of the host-facing contract.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "vexmar/component/export.hpp"
#include "vexmar/component/string_list.hpp"

namespace vexmar {

// Automation boolean: false 0, true -1 (all bits set).
struct Bool16 {
  std::int16_t value = 0;
  constexpr explicit operator bool() const noexcept { return value != 0; }
  friend constexpr bool operator==(Bool16, Bool16) = default;
};
inline constexpr Bool16 kTrue16{-1};
inline constexpr Bool16 kFalse16{0};
constexpr Bool16 ToBool16(bool b) noexcept { return b ? kTrue16 : kFalse16; }

// Base of every object a host can hold a reference to (the six classes, collections).
// Shared ownership stands for the contract's reference counting.
class VEXMAR_API Object {
 public:
  virtual ~Object() = default;
};
using ObjectRef = std::shared_ptr<Object>;

struct Empty {
  friend constexpr bool operator==(Empty, Empty) = default;
};

// A value as a late-bound caller passes it.
using Variant =
    std::variant<Empty, std::int32_t, float, Bool16, std::u16string, StringList, ObjectRef>;

}  // namespace vexmar
