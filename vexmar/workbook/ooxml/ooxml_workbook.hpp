#pragma once
// Worksheet names of an Office Open XML package: the .xlsx family and the binary .xlsb.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/containers/zip_archive.hpp"

namespace vexmar::workbook {

// Follows the package relationships to the workbook part (at whatever path), reads its
// sheet list and keeps the sheets whose relationship is a worksheet's. std::nullopt when
// the package's main document is not a workbook (a word-processing document, say).
std::optional<std::vector<std::u16string>> ListPackageWorksheets(ZipArchive& zip);

}  // namespace vexmar::workbook
