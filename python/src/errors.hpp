#pragma once
// vexmar::Error as the Python exception vexmar.Error (number, description, hresult).
#include <pybind11/pybind11.h>

namespace vexmar {
class Error;
}

namespace vexmar::python {

namespace py = pybind11;

// Looks up vexmar.Error (defined in Python, vexmar/_errors.py) and lets every
// vexmar::Error that reaches Python become one.
void RegisterErrors(py::module_& module);

// Sets the Python error for `error` (a vexmar.Error), for code outside pybind11's calls.
void SetError(const Error& error);

}  // namespace vexmar::python
