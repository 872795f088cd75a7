#include "vexmar/workbook/spreadsheetml/spreadsheetml_content.hpp"

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/sheet_limits.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kSpreadsheetNs = "urn:schemas-microsoft-com:office:spreadsheet";

}  // namespace

bool SpreadsheetMlHandler::StartElement(const XmlName& name, const XmlAttributes& attributes,
                                        std::size_t depth) {
  if (depth == 1) {
    is_workbook_ = name.Is(kSpreadsheetNs, "Workbook");
    return is_workbook_;
  }
  if (depth == 2 && name.Is(kSpreadsheetNs, "Worksheet")) {
    const char* sheet_name = attributes.Find(kSpreadsheetNs, "Name");
    if (sheet_name == nullptr) sheet_name = attributes.Find({}, "Name");
    if (sheet_name == nullptr) RaiseFailure(FailureKind::kXmlSheetWithoutName);
    names_.push_back(tally_.Decode(sheet_name));
  }
  return true;
}

bool SpreadsheetMlHandler::EndElement(const XmlName&, std::size_t) { return true; }

}  // namespace vexmar::workbook
