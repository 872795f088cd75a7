#pragma once
// The spreadsheet application of builds without one: opening a workbook reads its
// worksheet names with the embedded workbook reader; nothing is ever written. Each
// instance has its own list of open workbooks and is meant for one thread at a time.
#include <memory>

#include "vexmar/sheets/spreadsheet_application.hpp"

namespace vexmar {

std::shared_ptr<SpreadsheetApplication> NewEmbeddedSpreadsheetApplication();

}  // namespace vexmar
