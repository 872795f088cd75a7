#include "vexmar/workbook/zip_workbook.hpp"

namespace vexmar::workbook {

std::optional<std::vector<std::u16string>> ListZipWorksheets(const FileSource& /*source*/) {
  return std::nullopt;
}

}  // namespace vexmar::workbook
