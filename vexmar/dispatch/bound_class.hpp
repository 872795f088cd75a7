#pragma once
// A class of the contract together with its C++ implementation: how to create an
// object, how to recognise one, and the bindings of its members.
#include <memory>
#include <span>
#include <string_view>

#include "vexmar/component/value.hpp"
#include "vexmar/dispatch/member_binding.hpp"

namespace vexmar::dispatch {

struct BoundClass {
  std::string_view name;  // the class name in the class table
  const void* type_tag;   // TypeTag of the C++ class
  std::span<const BoundMember> members;
  ObjectRef (*create)();
  bool (*is_instance)(const Object& object);
};

namespace bound_class_detail {
template <typename T>
ObjectRef Create() {
  return std::make_shared<T>();
}
template <typename T>
bool IsInstance(const Object& object) {
  return dynamic_cast<const T*>(&object) != nullptr;
}
}  // namespace bound_class_detail

template <typename T>
constexpr BoundClass BindClass(std::string_view name, std::span<const BoundMember> members) {
  return BoundClass{name, TypeTag<T>(), members, &bound_class_detail::Create<T>,
                    &bound_class_detail::IsInstance<T>};
}

}  // namespace vexmar::dispatch
