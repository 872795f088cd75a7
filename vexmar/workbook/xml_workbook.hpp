#pragma once
// Worksheet names of single-file XML workbooks.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

// Flat OpenDocument (.fods) and SpreadsheetML 2003 (.xml with ss:Worksheet elements).
// std::nullopt for any other XML, HTML or text.
std::optional<std::vector<std::u16string>> ListXmlWorksheets(const FileSource& file);

}  // namespace vexmar::workbook
