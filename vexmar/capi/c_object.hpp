#pragma once
// What a vexmar_object handle is: one reference to an object of the library, with the
// class-table entry that tells which arguments of its members are in/out.
#include "vexmar/component/class_table.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/vexmar.h"

struct vexmar_object {
  vexmar::dispatch::DispatchObject object;
  const vexmar::contract::ClassInfo* info = nullptr;  // nullptr for a collection
};

namespace vexmar::capi {

// A new handle on `object` (a null reference gives a null handle).
vexmar_object* NewHandle(const ObjectRef& object);

}  // namespace vexmar::capi
