#pragma once
// How a late-bound caller asks for a member: as a method, a property read, a property
// write or an object-property write, or several at once (a host that reads `x.Count`
// asks for "method or property read"). The values are those of the Automation flags.
#include <cstdint>

#include "vexmar/component/class_table.hpp"

namespace vexmar::dispatch {

enum class InvokeFlags : std::uint16_t {
  kMethod = 1,
  kPropertyGet = 2,
  kPropertyPut = 4,
  kPropertyPutRef = 8,
};

constexpr InvokeFlags operator|(InvokeFlags a, InvokeFlags b) noexcept {
  return static_cast<InvokeFlags>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}

constexpr InvokeFlags FlagOf(contract::MemberKind kind) noexcept {
  switch (kind) {
    case contract::MemberKind::kMethod:
      return InvokeFlags::kMethod;
    case contract::MemberKind::kPropertyGet:
      return InvokeFlags::kPropertyGet;
    case contract::MemberKind::kPropertyPut:
      return InvokeFlags::kPropertyPut;
    case contract::MemberKind::kPropertyPutRef:
      return InvokeFlags::kPropertyPutRef;
  }
  return InvokeFlags{};
}

// Whether a request with `flags` may be served by a member of `kind`.
constexpr bool Allows(InvokeFlags flags, contract::MemberKind kind) noexcept {
  return (static_cast<std::uint16_t>(flags) & static_cast<std::uint16_t>(FlagOf(kind))) != 0;
}

}  // namespace vexmar::dispatch
