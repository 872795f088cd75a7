#pragma once
// Python values and the contract's values, converted at the module's edge:
//   str                 string (UTF-16; a lone surrogate, as os.fsdecode makes for a
//                       byte of a non-UTF-8 file name, stays one unit and round-trips)
//   bytes, os.PathLike  string, decoded as os.fsdecode does
//   int                 int32 (outside its range: the overflow error 6)
//   float               float32 (stored in single precision)
//   other numbers       by __index__ as int, else by __float__ as float
//   bool                bool16
//   tuple/list of str   string list, item 0 first; an empty one or None is absent
//   vexmar.Object       a reference to the object
//   None                the empty value (0, "", absent list, Nothing)
#include <pybind11/pybind11.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "vexmar/vexmar.hpp"

namespace vexmar::python {

namespace py = pybind11;

// str, bytes or os.PathLike as UTF-16. Anything else is TypeError.
std::u16string ToU16(py::handle text);
py::str FromU16(std::u16string_view text);

Variant ToVariant(py::handle value);
py::object FromVariant(const Variant& value);

// str, bytes or os.PathLike as a file-system path, byte for byte as os.fsencode gives it.
std::filesystem::path ToPath(py::handle path);

}  // namespace vexmar::python
