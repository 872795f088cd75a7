#pragma once
// The real spreadsheet application on Windows, reached by automation.
#include <memory>

#include "vexmar/sheets/spreadsheet_application.hpp"

namespace vexmar {

// A new instance of the class named by `prog_id`, asked for its application interface.
// Throws vexmar::Error (cannot create object) when there is none.
std::shared_ptr<SpreadsheetApplication> NewAutomationSpreadsheetApplication(const wchar_t* prog_id);

}  // namespace vexmar
