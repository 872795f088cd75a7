#pragma once
// The class table and the collection's members as plain Python data, for the type
// stubs and for tests that walk every member.
#include <pybind11/pybind11.h>

namespace vexmar::python {

namespace py = pybind11;

// [{"name", "prog_id", "clsid", "members": [{"kind", "name", "dispid",
//   "parameters": [(name, type, direction)], "result", "help"}]}]; kinds "method",
// "get", "put", "putref"; types "none", "str", "int", "float", "bool", "strlist",
// "collection"; directions "in", "inout".
py::list ClassTableData();
// [{"name", "kind" ("method" or "get"), "parameter", "help"}]
py::list CollectionMemberData();

}  // namespace vexmar::python
