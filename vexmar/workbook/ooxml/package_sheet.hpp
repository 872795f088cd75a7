#pragma once
// A sheet as the workbook part of a package lists it: its name and the relationship
// that says what kind of sheet it is.
#include <string>

namespace vexmar::workbook {

struct PackageSheet {
  std::u16string name;
  std::string relationship_id;  // UTF-8
};

}  // namespace vexmar::workbook
