#include "python/src/errors.hpp"

#include "python/src/values.hpp"
#include "vexmar/component/error.hpp"

namespace vexmar::python {
namespace {

// vexmar.Error, kept for the life of the process: the translator may run until the
// interpreter ends. Set once at module initialisation, read with the GIL held.
py::object* g_error_type = nullptr;

void Translate(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const Error& e) {
    SetError(e);
  } catch (const std::bad_alloc&) {
    SetError(Error(ErrorNumber::kOutOfMemory));
  }
}

}  // namespace

void SetError(const Error& e) {
  py::object instance = (*g_error_type)(e.Number(), FromU16(e.Description()), e.HResult());
  PyErr_SetObject(g_error_type->ptr(), instance.ptr());
}

void RegisterErrors(py::module_& module) {
  if (g_error_type == nullptr) {
    g_error_type = new py::object(py::module_::import("vexmar._errors").attr("Error"));
  }
  module.attr("Error") = *g_error_type;
  py::register_exception_translator(&Translate);
}

}  // namespace vexmar::python
