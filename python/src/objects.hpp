#pragma once
// Objects of the library as Python objects. Every member of the class table is reached
// by its name, letter case ignored, the way pywin32's dynamic dispatch reaches it:
//   a property            obj.TestPath  /  obj.TestPath = "..."   (an object: by reference)
//   a method              obj.ParseRule(msg): the result alone, or, when the member has
//                         in/out parameters, a tuple of the result and their new values
// Nothing here names a class or a member: a member added to the class table appears in
// Python as it is. Collections also behave as Python sequences (0-based [i], len, iter).
//
// Calls on one object are serialised by a lock of its own, so sharing an object between
// threads cannot corrupt it; methods run with the interpreter lock released, so threads
// that grade distinct objects run in parallel.
#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>

#include "vexmar/vexmar.hpp"

namespace vexmar::python {

namespace py = pybind11;

// One object of the library, shared by every Python wrapper of it.
struct Handle {
  dispatch::DispatchObject object;
  const contract::ClassInfo* info = nullptr;  // nullptr for a collection
  std::mutex mutex;
};

// The Python type vexmar.Object (and vexmar.Collection, derived from it).
struct PyDispatchObject {
  std::shared_ptr<Handle> handle;
};
struct PyCollection : PyDispatchObject {};

// The object behind a Python value, or nullptr when it is not one of ours.
ObjectRef RefOf(py::handle value);
// A Python wrapper of `object`; None for a null reference.
py::object Wrap(const ObjectRef& object);

void BindObjects(py::module_& module);

}  // namespace vexmar::python
