#include "vexmar/workbook/list_worksheets.hpp"

#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/xml_workbook.hpp"
#include "vexmar/workbook/zip_workbook.hpp"

namespace vexmar {

std::optional<std::vector<std::u16string>> ListWorksheets(const std::filesystem::path& file) {
  const workbook::FileSource source(file);
  (void)source;
  return std::nullopt;
}

}  // namespace vexmar
