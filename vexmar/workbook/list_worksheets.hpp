#pragma once
// The embedded workbook reader: the worksheet names of a workbook file, in tab order.
// Public, so it stays at the workbook/ root where hosts include it; detection/ implements
// it, above every reader.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "vexmar/component/export.hpp"

namespace vexmar {

// The names of the file's worksheets in sheet order (hidden ones included; chart,
// dialog, macro and module sheets left out). std::nullopt when the content is not a
// workbook at all. Throws vexmar::workbook::ReadFailure (a vexmar::Error carrying its
// FailureKind) for a damaged or encrypted workbook, vexmar::Error for a file that cannot
// be read. The format is told by content, never by extension.
VEXMAR_API std::optional<std::vector<std::u16string>> ListWorksheets(
    const std::filesystem::path& file);

}  // namespace vexmar
