// Builds without automation: the embedded workbook reader answers to both class names.
#include "vexmar/sheets/embedded_application.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {

std::shared_ptr<const SpreadsheetApplications> DefaultSpreadsheetApplications() {
  static const std::shared_ptr<const SpreadsheetApplications> applications =
      std::make_shared<const SpreadsheetApplications>(std::vector<SpreadsheetApplications::Entry>{
          {std::u16string(kSpreadsheetClassName), &NewEmbeddedSpreadsheetApplication},
          {std::u16string(kSpreadsheetProgId), &NewEmbeddedSpreadsheetApplication},
      });
  return applications;
}

}  // namespace vexmar
