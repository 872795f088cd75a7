#pragma once
// What the late-binding layer knows of one kind of object: its member names and
// dispatch ids, and how to invoke a member on an object of that kind.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/dispatch/invoke_flags.hpp"

namespace vexmar::dispatch {

class VEXMAR_API DispatchInterface {
 public:
  DispatchInterface() = default;
  DispatchInterface(const DispatchInterface&) = delete;
  DispatchInterface& operator=(const DispatchInterface&) = delete;
  virtual ~DispatchInterface() = default;

  // "ClsScoreState", "Collection".
  virtual std::string_view TypeName() const noexcept = 0;
  // Whether `object` is of this kind.
  virtual bool IsInstance(const Object& object) const noexcept = 0;
  // The dispatch id of a member name, ignoring letter case; nullopt for none.
  virtual std::optional<std::int32_t> FindId(std::u16string_view name) const noexcept = 0;
  // Invokes a member on `self`, a non-null reference to an object of this kind. Arguments in
  // declaration order; in/out arguments receive the member's new values. Errors are thrown as
  // vexmar::Error.
  virtual Variant Invoke(const ObjectRef& self, std::int32_t dispid, InvokeFlags flags,
                         std::span<Variant> args) const = 0;
};

// Whether a name given by a host equals one of the library's ASCII names (a member
// name, a ProgID), ignoring letter case.
VEXMAR_API bool NameEquals(std::u16string_view name, std::string_view member) noexcept;

}  // namespace vexmar::dispatch
