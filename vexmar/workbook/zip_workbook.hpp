#pragma once
// Worksheet names of workbooks kept in a zip container.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

// Any zip: Office Open XML (.xlsx/.xlsm/.xltx/.xltm/.xlam), the binary .xlsb and
// OpenDocument (.ods/.ots). std::nullopt when the zip holds no workbook part.
std::optional<std::vector<std::u16string>> ListZipWorksheets(const FileSource& file);

}  // namespace vexmar::workbook
