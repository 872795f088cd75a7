#pragma once
// Worksheet names of the single-file XML workbook formats (flat OpenDocument,
// SpreadsheetML 2003).
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

// std::nullopt when the XML is not one of those workbook formats; throws vexmar::Error
// for a damaged workbook.
std::optional<std::vector<std::u16string>> ListXmlWorksheets(const FileSource& source);

}  // namespace vexmar::workbook
