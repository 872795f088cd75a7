// Windows: the application behind both class names follows the administrator's setting,
// read each time an application is wanted, so a change applies to the next check without
// reloading the server.
//   Automation:             the real application, three attempts in all as the check
//                           makes them ("Excel", then "Excel.Application" twice).
//   Embedded:               the embedded workbook reader; nothing is started.
//   AutomationThenEmbedded: as Automation, and the embedded reader when the last of the
//                           three attempts fails too.
#include "vexmar/component/error.hpp"
#include "vexmar/sheets/automation_application_win32.hpp"
#include "vexmar/sheets/embedded_application.hpp"
#include "vexmar/sheets/spreadsheet_application_choice.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {
namespace {

std::shared_ptr<SpreadsheetApplication> StartByClassName() {
  if (CurrentSpreadsheetApplicationChoice() == SpreadsheetApplicationChoice::kEmbedded) {
    return NewEmbeddedSpreadsheetApplication();
  }
  // The first attempt names the class as "get object" with an empty path does; it
  // creates a new instance just as the programmatic identifier does.
  return NewAutomationSpreadsheetApplication(L"Excel");
}

std::shared_ptr<SpreadsheetApplication> StartByProgId() {
  switch (CurrentSpreadsheetApplicationChoice()) {
    case SpreadsheetApplicationChoice::kEmbedded:
      return NewEmbeddedSpreadsheetApplication();
    case SpreadsheetApplicationChoice::kAutomation:
      return NewAutomationSpreadsheetApplication(L"Excel.Application");
    case SpreadsheetApplicationChoice::kAutomationThenEmbedded:
      break;
  }
  // The check asks for this class once more when the first request fails; that second
  // attempt is made here, so the fallback comes only after both have failed.
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      return NewAutomationSpreadsheetApplication(L"Excel.Application");
    } catch (const Error&) {
      // the application cannot be created: the next attempt, then the embedded reader
    }
  }
  return NewEmbeddedSpreadsheetApplication();
}

}  // namespace

std::shared_ptr<const SpreadsheetApplications> DefaultSpreadsheetApplications() {
  static const std::shared_ptr<const SpreadsheetApplications> applications =
      std::make_shared<const SpreadsheetApplications>(std::vector<SpreadsheetApplications::Entry>{
          {std::u16string(kSpreadsheetClassName), &StartByClassName},
          {std::u16string(kSpreadsheetProgId), &StartByProgId},
      });
  return applications;
}

}  // namespace vexmar
