#pragma once
// Late binding: a host's handle on one object of the library, through which it calls
// members by name or by dispatch id.
//
//   auto state = vexmar::dispatch::CreateObject(u"VexmarExt.ClsScoreState");
//   state.Put(u"CurScore", 7.5f);
//   vexmar::Variant score = state.Get(u"CurScore");           // 7.5f
//   std::int32_t id = state.GetIdOfName(u"curscore");         // 0x68030003
//
// The handle shares ownership of the object with every other handle and every
// Variant that refers to it; the object lives while one of them does. Each call holds
// a reference of its own for its duration, so that a release by the host during the
// call cannot end the object under the member. Errors reach the caller as
// vexmar::Error (number, description, HRESULT); TryInvoke gives them as a status.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/export.hpp"
#include "vexmar/component/guid.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/dispatch/dispatch_interface.hpp"
#include "vexmar/dispatch/invoke_flags.hpp"

namespace vexmar::dispatch {

// The outcome of a call as a status: hresult 0 (S_OK) with the value, or the failure
// HRESULT 0x800A0000 | number with the error.
struct InvokeStatus {
  std::int32_t hresult = 0;
  Variant value;
  std::optional<Error> error;
  bool Succeeded() const noexcept { return hresult == 0; }
};

class VEXMAR_API DispatchObject {
 public:
  // Refers to nothing (a host's Nothing); every call on it is error 91.
  DispatchObject() noexcept = default;
  // A handle on an object of the library: one of the six classes or a collection.
  // A null reference is error 91, an object of another kind type mismatch (13).
  explicit DispatchObject(ObjectRef object);
  // A handle that uses `methods` for `object`, which must be of its kind.
  DispatchObject(ObjectRef object, const DispatchInterface& methods) noexcept
      : object_(std::move(object)), interface_(&methods) {}

  explicit operator bool() const noexcept { return object_ != nullptr; }
  const ObjectRef& Ref() const noexcept { return object_; }
  // The object as a Variant value (for a property write or a collection item).
  Variant AsVariant() const { return object_; }
  // "ClsScoreState", "Collection"; empty for Nothing.
  std::string_view TypeName() const noexcept;

  // The dispatch id of a member, ignoring letter case; unknown names are error 438.
  std::int32_t GetIdOfName(std::u16string_view name) const;

  // Invokes a member by dispatch id. Arguments in declaration order; an in/out
  // argument receives the member's new value, converted to the declared type, also
  // when the member fails. Errors: 438 unknown id or a kind the member does not have,
  // 450 wrong argument count, 13 an argument that does not convert, 6 a number out of
  // range, and whatever escapes the member.
  Variant Invoke(std::int32_t dispid, InvokeFlags flags, std::span<Variant> args) const;
  Variant Invoke(std::int32_t dispid, contract::MemberKind kind, std::span<Variant> args) const {
    return Invoke(dispid, FlagOf(kind), args);
  }
  // The same without throwing: every error, memory exhaustion included, as a status.
  InvokeStatus TryInvoke(std::int32_t dispid, InvokeFlags flags,
                         std::span<Variant> args) const noexcept;

  // By name. Get asks for a property read or a method without arguments, Call for a
  // method or a property read with arguments, Put for a property write, PutRef for an
  // object-property write.
  Variant Get(std::u16string_view name) const;
  Variant Call(std::u16string_view name, std::span<Variant> args = {}) const;
  void Put(std::u16string_view name, Variant value) const;
  void PutRef(std::u16string_view name, const DispatchObject& value) const;
  void PutRef(std::u16string_view name, ObjectRef value) const;

 private:
  ObjectRef object_;
  const DispatchInterface* interface_ = nullptr;
};

// A new object by ProgID ("VexmarExt.ClsScoreState", letter case ignored) or by CLSID
// in braces ("{ECB13ECB-FB69-4E2B-9D67-9CBA5FE8AA6F}", either letter case). Anything
// else is error 429.
VEXMAR_API DispatchObject CreateObject(std::u16string_view prog_id_or_clsid);
VEXMAR_API DispatchObject CreateObject(const Guid& clsid);

// A new, empty collection, for a host to write to FilesName or PingRules.
VEXMAR_API DispatchObject NewCollection();

}  // namespace vexmar::dispatch
