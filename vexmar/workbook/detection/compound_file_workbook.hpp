#pragma once
// What a compound file holds: a BIFF8 or BIFF5 workbook stream, or an Office Open XML
// package saved encrypted.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

// The "Workbook" (BIFF8) or "Book" (BIFF5) stream below the root; std::nullopt when
// neither is there. An encrypted package is read when it was saved with the default
// password; otherwise it raises the encrypted error.
std::optional<std::vector<std::u16string>> ListCompoundWorksheets(const FileSource& source);

}  // namespace vexmar::workbook
