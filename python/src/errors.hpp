#pragma once
// vexmar::Error as the Python exception vexmar.Error (number, description, hresult).
#include <pybind11/pybind11.h>

namespace vexmar::python {

namespace py = pybind11;

// Looks up vexmar.Error (defined in Python, vexmar/_errors.py) and lets every
// vexmar::Error that reaches Python become one.
void RegisterErrors(py::module_& module);

}  // namespace vexmar::python
