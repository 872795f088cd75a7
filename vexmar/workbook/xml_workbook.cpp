#include "vexmar/workbook/xml_workbook.hpp"

namespace vexmar::workbook {

std::optional<std::vector<std::u16string>> ListXmlWorksheets(const FileSource& /*source*/) {
  return std::nullopt;
}

}  // namespace vexmar::workbook
