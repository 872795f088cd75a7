#include "vexmar/sheets/spreadsheet_applications.hpp"

#include <utility>

#include "vexmar/component/error.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {

SpreadsheetApplications::SpreadsheetApplications(std::vector<Entry> entries)
    : entries_(std::move(entries)) {}

bool SpreadsheetApplications::Has(std::u16string_view class_name) const noexcept {
  for (const Entry& entry : entries_) {
    if (EqualsIgnoreCase(entry.ClassName, class_name)) return true;
  }
  return false;
}

std::shared_ptr<SpreadsheetApplication> SpreadsheetApplications::Start(
    std::u16string_view class_name) const {
  for (const Entry& entry : entries_) {
    if (!EqualsIgnoreCase(entry.ClassName, class_name)) continue;
    if (!entry.Factory) break;
    std::shared_ptr<SpreadsheetApplication> application = entry.Factory();
    if (!application) break;
    return application;
  }
  Raise(ErrorNumber::kCannotCreateObject);
}

std::shared_ptr<SpreadsheetApplication> SpreadsheetApplications::GetObject(
    std::u16string_view strPathName, std::u16string_view strClass) const {
  if (!strPathName.empty()) Raise(ErrorNumber::kInvalidProcedureCall);
  return Start(strClass);
}

std::shared_ptr<SpreadsheetApplication> SpreadsheetApplications::CreateObject(
    std::u16string_view strProgId) const {
  return Start(strProgId);
}

}  // namespace vexmar
