#pragma once
// The late-binding engine for the classes of the class table. The table gives the
// member names, dispatch ids, kinds and parameter types and directions; the bound
// class gives the C++ call. Invoke finds the entry for (dispatch id, kind), checks the
// argument count, converts every argument to its declared type, calls the member and
// hands in/out values back to the caller, also when the member fails.
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/guid.hpp"
#include "vexmar/dispatch/bound_class.hpp"
#include "vexmar/dispatch/dispatch_interface.hpp"

namespace vexmar::dispatch {

class ClassInterface final : public DispatchInterface {
 public:
  // `bound` must agree with `info` (CheckBindings finds no problem).
  ClassInterface(const contract::ClassInfo& info, const BoundClass& bound) noexcept
      : info_(&info), bound_(&bound) {}

  const contract::ClassInfo& Info() const noexcept { return *info_; }
  ObjectRef Create() const { return bound_->create(); }

  std::string_view TypeName() const noexcept override { return info_->name; }
  bool IsInstance(const Object& object) const noexcept override {
    return bound_->is_instance(object);
  }
  std::optional<std::int32_t> FindId(std::u16string_view name) const noexcept override;
  Variant Invoke(const ObjectRef& self, std::int32_t dispid, InvokeFlags flags,
                 std::span<Variant> args) const override;

 private:
  const contract::ClassInfo* info_;
  const BoundClass* bound_;
};

// The six classes, in type-library order.
std::span<const ClassInterface> ClassInterfaces() noexcept;
// By ProgID, ignoring letter case; by CLSID. nullptr when there is no such class.
const ClassInterface* FindClassByProgId(std::u16string_view prog_id) noexcept;
const ClassInterface* FindClassByClsid(const Guid& clsid) noexcept;

}  // namespace vexmar::dispatch
