// The extension module vexmar._vexmar; the package vexmar re-exports it.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "python/src/class_table_data.hpp"
#include "python/src/errors.hpp"
#include "python/src/objects.hpp"
#include "python/src/values.hpp"
#include "vexmar/vexmar.hpp"

namespace vexmar::python {
namespace {

// Dispatch("VexmarExt.ClsExcelMultiSheets"), by CLSID "{...}" too; an object is
// handed back as it is, as pywin32's Dispatch does.
py::object Dispatch(py::handle what) {
  if (RefOf(what) != nullptr) return py::reinterpret_borrow<py::object>(what);
  const std::u16string name = ToU16(what);
  return Wrap(dispatch::CreateObject(name).Ref());
}

py::object ListWorksheetsOf(py::handle path) {
  const std::filesystem::path file = ToPath(path);
  std::optional<std::vector<std::u16string>> names;
  {
    py::gil_scoped_release unlocked;
    names = ListWorksheets(file);
  }
  if (!names) return py::none();
  py::list out;
  for (const auto& name : *names) out.append(FromU16(name));
  return out;
}

py::list SortedInListingOrder(const py::iterable& names) {
  std::vector<std::u16string> wide;
  for (py::handle name : names) wide.push_back(ToU16(name));
  SortInListingOrder(wide);
  py::list out;
  for (const auto& name : wide) out.append(FromU16(name));
  return out;
}

}  // namespace
}  // namespace vexmar::python

PYBIND11_MODULE(_vexmar, m) {
  using namespace vexmar::python;
  m.doc() = "VexmarExt for Python hosts: the library's classes by late binding.";
  RegisterErrors(m);
  BindObjects(m);
  m.def("Dispatch", &Dispatch, py::arg("progid_or_clsid"),
        "A new object by ProgID ('VexmarExt.ClsScoreState', letter case ignored) or by\n"
        "CLSID in braces; an object passed in is returned as it is.");
  m.def("CreateObject", &Dispatch, py::arg("progid_or_clsid"), "The same as Dispatch.");
  m.def("list_worksheets", &ListWorksheetsOf, py::arg("path"),
        "The worksheet names of a workbook file in tab order; None when the file is not a\n"
        "workbook; vexmar.Error for a damaged, encrypted or unreadable one.");
  m.def("sorted_in_listing_order", &SortedInListingOrder, py::arg("names"),
        "Names in the library's listing order (upper-cased UTF-16, ordinal; ties by the\n"
        "exact names), the order of GetFileNames and of the example hosts' candidates.");
  m.def("_class_table", &ClassTableData);
  m.def("_collection_members", &CollectionMemberData);
}
