// Builds without the workbook reader: no spreadsheet application can be reached, so a
// sheet rule with a pattern ends with the cannot-open message.
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {

std::shared_ptr<const SpreadsheetApplications> DefaultSpreadsheetApplications() {
  static const std::shared_ptr<const SpreadsheetApplications> applications =
      std::make_shared<const SpreadsheetApplications>();
  return applications;
}

}  // namespace vexmar
