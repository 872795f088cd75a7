#include "vexmar/sheets/spreadsheet_application_choice.hpp"

#include "vexmar/text/letter_case.hpp"

namespace vexmar {

std::optional<SpreadsheetApplicationChoice> ParseSpreadsheetApplicationChoice(
    std::u16string_view text) noexcept {
  if (EqualsIgnoreCase(text, u"Automation")) return SpreadsheetApplicationChoice::kAutomation;
  if (EqualsIgnoreCase(text, u"Embedded")) return SpreadsheetApplicationChoice::kEmbedded;
  if (EqualsIgnoreCase(text, u"AutomationThenEmbedded")) {
    return SpreadsheetApplicationChoice::kAutomationThenEmbedded;
  }
  return std::nullopt;
}

}  // namespace vexmar
