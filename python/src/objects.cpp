#include "python/src/objects.hpp"

#include <pybind11/stl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "python/src/errors.hpp"
#include "python/src/values.hpp"

namespace vexmar::python {
namespace {

using contract::MemberKind;
using dispatch::InvokeFlags;

// What a Python name stands for on an object: a member's dispatch id, its parameters
// (table members only) and how it is reached.
struct MemberRef {
  std::int32_t dispid = 0;
  const contract::Member* member = nullptr;  // nullptr for a collection member
};

// One handle per live object, so that every wrapper of it shares its lock. Touched
// only with the interpreter lock held.
std::unordered_map<const Object*, std::weak_ptr<Handle>>& Registry() {
  static auto* registry = new std::unordered_map<const Object*, std::weak_ptr<Handle>>();
  return *registry;
}

const contract::ClassInfo* ClassInfoOf(const dispatch::DispatchObject& object) {
  for (const auto& info : contract::kClasses) {
    if (info.name == object.TypeName()) return &info;
  }
  return nullptr;
}

std::shared_ptr<Handle> HandleFor(const ObjectRef& object) {
  auto& registry = Registry();
  if (auto found = registry.find(object.get()); found != registry.end()) {
    if (auto live = found->second.lock()) return live;
  }
  auto* made = new Handle{dispatch::DispatchObject(object), nullptr, {}};
  made->info = ClassInfoOf(made->object);
  std::shared_ptr<Handle> handle(made, [](Handle* h) {
    Registry().erase(h->object.Ref().get());
    delete h;
  });
  registry[object.get()] = handle;
  return handle;
}

// Runs `call` holding the object's lock. With `release` the interpreter lock is let go
// for the call; without, it is let go only while waiting for the object's lock.
template <typename Call>
Variant Locked(Handle& handle, bool release, Call&& call) {
  if (release) {
    py::gil_scoped_release unlocked;
    std::lock_guard lock(handle.mutex);
    return call();
  }
  std::unique_lock lock(handle.mutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    py::gil_scoped_release unlocked;
    lock.lock();
  }
  return call();
}

// Members of `handle` answering to `name` in a request of kind `kind`.
std::optional<MemberRef> Find(const Handle& handle, std::u16string_view name, MemberKind kind) {
  if (handle.info != nullptr) {
    for (const auto& m : handle.info->members) {
      if (m.kind == kind && dispatch::NameEquals(name, m.name)) return MemberRef{m.dispid, &m};
    }
    return std::nullopt;
  }
  for (const auto& m : dispatch::CollectionMembers()) {
    // _NewEnum stays inside: Python iterates the collection itself.
    if (m.name.starts_with('_') || !dispatch::NameEquals(name, m.name)) continue;
    const bool is_value = m.parameter.empty() && dispatch::Allows(m.flags, MemberKind::kPropertyGet);
    const bool wanted = kind == MemberKind::kMethod ? !is_value
                        : kind == MemberKind::kPropertyGet ? is_value
                                                             : false;
    if (wanted) return MemberRef{m.dispid, nullptr};
  }
  return std::nullopt;
}

std::string TypeLabel(const Handle& handle) {
  return handle.info != nullptr ? std::string(handle.info->prog_id) : std::string("Collection");
}

// A method of one object, ready to call.
struct BoundMethod {
  std::shared_ptr<Handle> handle;
  MemberRef member;
  std::string name;

  py::object Call(const py::tuple& args) const {
    std::vector<Variant> values;
    values.reserve(args.size());
    for (py::handle arg : args) values.push_back(ToVariant(arg));
    Handle& h = *handle;
    // Table methods may read files and directories: the interpreter lock is let go.
    const bool release = h.info != nullptr;
    const Variant result = Locked(h, release, [&] {
      return h.object.Invoke(member.dispid, InvokeFlags::kMethod, values);
    });
    if (member.member == nullptr) return FromVariant(result);
    // pywin32's convention: the result, then the new values of the in/out parameters.
    py::list out;
    const auto parameters = member.member->parameters;
    for (std::size_t i = 0; i < parameters.size() && i < values.size(); ++i) {
      if (parameters[i].direction == contract::Direction::kInOut) out.append(FromVariant(values[i]));
    }
    if (out.empty()) return FromVariant(result);
    if (member.member->result != contract::ValueType::kNone) out.insert(0, FromVariant(result));
    if (out.size() == 1) return out[0];
    return py::tuple(out);
  }
};

// A table member by name, or nullopt when the name is none of the object's members.
std::optional<py::object> GetMember(const PyDispatchObject& self, py::handle name) {
  Handle& h = *self.handle;
  const std::u16string wide = ToU16(name);
  if (auto method = Find(h, wide, MemberKind::kMethod)) {
    return py::cast(BoundMethod{self.handle, *method, name.cast<std::string>()});
  }
  if (auto property = Find(h, wide, MemberKind::kPropertyGet)) {
    const InvokeFlags flags =
        property->member != nullptr ? InvokeFlags::kPropertyGet
                                    : InvokeFlags::kMethod | InvokeFlags::kPropertyGet;
    return FromVariant(
        Locked(h, false, [&] { return h.object.Invoke(property->dispid, flags, {}); }));
  }
  return std::nullopt;
}

// Whether the name was one of the object's writable properties (and is now written).
bool SetMember(const PyDispatchObject& self, py::handle name, py::handle value) {
  Handle& h = *self.handle;
  const std::u16string wide = ToU16(name);
  const auto put = Find(h, wide, MemberKind::kPropertyPut);
  const auto put_ref = Find(h, wide, MemberKind::kPropertyPutRef);
  // An object (or None for Nothing) goes by reference where the property takes one.
  const bool by_reference = put_ref && (!put || RefOf(value) != nullptr || value.is_none());
  const auto& target = by_reference ? put_ref : put;
  if (!target) return false;
  std::vector<Variant> values{ToVariant(value)};
  const InvokeFlags flags = by_reference ? InvokeFlags::kPropertyPutRef : InvokeFlags::kPropertyPut;
  Locked(h, false, [&] { return h.object.Invoke(target->dispid, flags, values); });
  return true;
}

bool IsSpecialName(PyObject* name) {
  return PyUnicode_Check(name) && PyUnicode_GET_LENGTH(name) >= 2 &&
         PyUnicode_READ_CHAR(name, 0) == '_' && PyUnicode_READ_CHAR(name, 1) == '_';
}

// An exception of a slot function as the Python error it stands for.
void SetPythonError() {
  try {
    throw;
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const py::builtin_exception& e) {
    e.set_error();
  } catch (const Error& e) {
    SetError(e);
  } catch (const std::bad_alloc&) {
    SetError(Error(ErrorNumber::kOutOfMemory));
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
}

// The type slots of vexmar.Object: the class table's members first (so that reading a
// member costs no failed lookup), the Python type's own attributes for the rest.
PyObject* GetAttro(PyObject* self, PyObject* name) {
  if (IsSpecialName(name)) return PyObject_GenericGetAttr(self, name);
  try {
    if (auto member = GetMember(py::handle(self).cast<const PyDispatchObject&>(), name)) {
      return member->release().ptr();
    }
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
  return PyObject_GenericGetAttr(self, name);
}

int SetAttro(PyObject* self, PyObject* name, PyObject* value) {
  try {
    const auto& object = py::handle(self).cast<const PyDispatchObject&>();
    if (value == nullptr) throw py::attribute_error("members of the library cannot be deleted");
    if (!IsSpecialName(name) && SetMember(object, name, value)) return 0;
    throw py::attribute_error(TypeLabel(*object.handle) + " has no writable member '" +
                              py::str(name).cast<std::string>() + "'");
  } catch (...) {
    SetPythonError();
    return -1;
  }
}

PyObject* CallSlot(PyObject* self, PyObject* args, PyObject* kwargs) {
  try {
    if (kwargs != nullptr && PyDict_Size(kwargs) != 0) {
      throw py::type_error("members of the library take positional arguments only");
    }
    const auto& method = py::handle(self).cast<const BoundMethod&>();
    return method.Call(py::reinterpret_borrow<py::tuple>(args)).release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
}

void SetObjectSlots(PyHeapTypeObject* type) {
  type->ht_type.tp_getattro = &GetAttro;
  type->ht_type.tp_setattro = &SetAttro;
}

std::vector<std::string> MemberNames(const PyDispatchObject& self) {
  std::vector<std::string> names;
  const auto add = [&](std::string_view name) {
    for (const auto& n : names) {
      if (n == name) return;
    }
    names.emplace_back(name);
  };
  if (self.handle->info != nullptr) {
    for (const auto& m : self.handle->info->members) add(m.name);
  } else {
    for (const auto& m : dispatch::CollectionMembers()) {
      if (!m.name.starts_with('_')) add(m.name);
    }
  }
  return names;
}

Collection& CollectionOf(const PyCollection& self) {
  return static_cast<Collection&>(*self.handle->object.Ref());
}

// A 0-based Python index (negative from the end) as the collection's 1-based one.
std::int32_t ItemIndex(const PyCollection& self, std::int64_t index) {
  const std::int64_t count = CollectionOf(self).Count();
  if (index < 0) index += count;
  if (index < 0 || index >= count) throw py::index_error("collection index out of range");
  return static_cast<std::int32_t>(index + 1);
}

py::object ItemAt(const PyCollection& self, std::int32_t one_based) {
  Handle& h = *self.handle;
  return FromVariant(Locked(h, false, [&] { return CollectionOf(self).Item(one_based); }));
}

}  // namespace

ObjectRef RefOf(py::handle value) {
  if (!py::isinstance<PyDispatchObject>(value)) return nullptr;
  return value.cast<const PyDispatchObject&>().handle->object.Ref();
}

py::object Wrap(const ObjectRef& object) {
  if (!object) return py::none();
  std::shared_ptr<Handle> handle = HandleFor(object);
  if (handle->info == nullptr) return py::cast(PyCollection{{std::move(handle)}});
  return py::cast(PyDispatchObject{std::move(handle)});
}

void BindObjects(py::module_& module) {
  py::class_<BoundMethod>(module, "Method", "A member of an object, called as a method.",
                          py::custom_type_setup([](PyHeapTypeObject* type) {
                            type->ht_type.tp_call = &CallSlot;
                          }))
      .def("__repr__", [](const BoundMethod& m) {
        return "<vexmar.Method " + TypeLabel(*m.handle) + "." + m.name + ">";
      });

  py::class_<PyDispatchObject>(module, "Object",
                               "An object of the library; members by name, letter case ignored.",
                               py::custom_type_setup(&SetObjectSlots))
      .def("__dir__", &MemberNames)
      .def("__eq__",
           [](const PyDispatchObject& a, py::handle b) { return RefOf(b) == a.handle->object.Ref(); })
      .def("__hash__",
           [](const PyDispatchObject& a) { return std::hash<const void*>()(a.handle->object.Ref().get()); })
      .def("__repr__", [](const PyDispatchObject& self) {
        return "<vexmar.Object " + TypeLabel(*self.handle) + ">";
      });

  py::class_<PyCollection, PyDispatchObject>(
      module, "Collection", py::custom_type_setup(&SetObjectSlots),
      "An ordered collection. Count, Item(i) (1-based), Add, Remove as in the contract;\n"
      "len(), iteration and [i] (0-based, negative from the end) as a Python sequence.")
      .def(py::init([] { return PyCollection{{HandleFor(dispatch::NewCollection().Ref())}}; }))
      .def("__len__", [](const PyCollection& self) { return CollectionOf(self).Count(); })
      .def("__getitem__", [](const PyCollection& self, std::int64_t index) {
        return ItemAt(self, ItemIndex(self, index));
      })
      .def("__iter__", [](py::object self) {
        // Iterates a snapshot: the items as they are when the iteration starts.
        py::list items;
        const auto& collection = self.cast<const PyCollection&>();
        for (std::int32_t i = 1; i <= CollectionOf(collection).Count(); ++i) {
          items.append(ItemAt(collection, i));
        }
        return py::iter(items);
      })
      .def("__repr__", [](const PyCollection& self) {
        return "<vexmar.Collection of " + std::to_string(CollectionOf(self).Count()) + " items>";
      });
}

}  // namespace vexmar::python
