#include "python/src/values.hpp"

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "python/src/objects.hpp"

namespace vexmar::python {
namespace {

bool IsSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDFFF; }

// os.fspath, then bytes decoded with os.fsdecode's convention.
py::object AsText(py::handle value) {
  py::object path = py::reinterpret_steal<py::object>(PyOS_FSPath(value.ptr()));
  if (!path) throw py::error_already_set();
  if (PyBytes_Check(path.ptr())) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    PyBytes_AsStringAndSize(path.ptr(), &data, &size);
    path = py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefaultAndSize(data, size));
    if (!path) throw py::error_already_set();
  }
  return path;
}

std::u16string StrToU16(PyObject* text) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  const int kind = PyUnicode_KIND(text);
  const void* data = PyUnicode_DATA(text);
  std::u16string out;
  out.reserve(static_cast<std::size_t>(length));
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));  // lone surrogates stay as they are
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

std::int32_t ToInt32(py::handle value) {
  if (!value) throw py::error_already_set();
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow != 0 || n < std::numeric_limits<std::int32_t>::min() ||
      n > std::numeric_limits<std::int32_t>::max()) {
    Raise(ErrorNumber::kOverflow);
  }
  return static_cast<std::int32_t>(n);
}

float ToFloat32(py::handle value) {
  const double d = PyFloat_AsDouble(value.ptr());
  if (d == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  if (std::isfinite(d) && std::fabs(d) > static_cast<double>(FLT_MAX)) {
    Raise(ErrorNumber::kOverflow);
  }
  return static_cast<float>(d);
}

StringList ToStringList(py::handle sequence) {
  std::vector<std::u16string> items;
  for (py::handle item : sequence) items.push_back(ToU16(item));
  return StringList::FromVector(std::move(items));
}

py::object FromStringList(const StringList& list) {
  if (!list.HasBounds()) return py::none();
  const auto items = list.Items();
  py::tuple out(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) out[i] = FromU16(items[i]);
  return out;
}

}  // namespace

std::u16string ToU16(py::handle text) {
  if (PyUnicode_Check(text.ptr())) return StrToU16(text.ptr());
  if (PyBytes_Check(text.ptr()) || PyObject_HasAttrString(text.ptr(), "__fspath__") != 0) {
    return StrToU16(AsText(text).ptr());
  }
  throw py::type_error("expected str, bytes or os.PathLike, not " +
                       std::string(Py_TYPE(text.ptr())->tp_name));
}

py::str FromU16(std::u16string_view text) {
  bool plain = true;
  for (char16_t unit : text) plain = plain && !IsSurrogate(unit);
  PyObject* made = nullptr;
  if (plain) {
    made = PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, text.data(),
                                     static_cast<Py_ssize_t>(text.size()));
  } else {
    // Pairs join into one character; lone surrogates pass as themselves.
    int little_endian = -1;
    made = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                 static_cast<Py_ssize_t>(text.size() * sizeof(char16_t)),
                                 "surrogatepass", &little_endian);
  }
  if (made == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(made);
}

Variant ToVariant(py::handle value) {
  PyObject* p = value.ptr();
  if (p == Py_None) return Empty{};
  if (PyBool_Check(p)) return ToBool16(p == Py_True);
  if (PyLong_Check(p)) return ToInt32(value);
  if (PyFloat_Check(p)) return ToFloat32(value);
  if (PyUnicode_Check(p)) return StrToU16(p);
  if (PyTuple_Check(p) || PyList_Check(p)) return ToStringList(value);
  if (ObjectRef ref = RefOf(value)) return ref;
  if (PyBytes_Check(p) || PyObject_HasAttrString(p, "__fspath__") != 0) return ToU16(value);
  // Other numbers (numpy's, Decimal, Fraction) by the number protocols.
  if (PyIndex_Check(p) != 0) {
    return ToInt32(py::reinterpret_steal<py::object>(PyNumber_Index(p)));
  }
  if (Py_TYPE(p)->tp_as_number != nullptr && Py_TYPE(p)->tp_as_number->nb_float != nullptr) {
    py::object as_float = py::reinterpret_steal<py::object>(PyNumber_Float(p));
    if (!as_float) throw py::error_already_set();
    return ToFloat32(as_float);
  }
  throw py::type_error(std::string("a value of type ") + Py_TYPE(p)->tp_name +
                       " cannot be passed to the library");
}

py::object FromVariant(const Variant& value) {
  struct Visitor {
    py::object operator()(Empty) const { return py::none(); }
    py::object operator()(std::int32_t v) const { return py::int_(v); }
    py::object operator()(float v) const { return py::float_(static_cast<double>(v)); }
    py::object operator()(Bool16 v) const { return py::bool_(static_cast<bool>(v)); }
    py::object operator()(const std::u16string& v) const { return FromU16(v); }
    py::object operator()(const StringList& v) const { return FromStringList(v); }
    py::object operator()(const ObjectRef& v) const { return Wrap(v); }
  };
  return std::visit(Visitor{}, value);
}

std::filesystem::path ToPath(py::handle path) {
  py::object fs_path = py::reinterpret_steal<py::object>(PyOS_FSPath(path.ptr()));
  if (!fs_path) throw py::error_already_set();
  if (PyUnicode_Check(fs_path.ptr())) {
    fs_path = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(fs_path.ptr()));
    if (!fs_path) throw py::error_already_set();
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(fs_path.ptr(), &data, &size) != 0) throw py::error_already_set();
  return std::filesystem::path(std::string(data, static_cast<std::size_t>(size)));
}

}  // namespace vexmar::python
