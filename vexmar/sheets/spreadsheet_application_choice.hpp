#pragma once
// Which spreadsheet application a worksheet check uses where both the real application
// (by automation) and the embedded workbook reader are available: the administrator's
// setting "SpreadsheetApplication".
#include <optional>
#include <string_view>

namespace vexmar {

enum class SpreadsheetApplicationChoice {
  kAutomation,              // the real application only (the default)
  kEmbedded,                // the embedded reader only; the application is never started
  kAutomationThenEmbedded,  // the embedded reader when the application cannot be created
};

// The choice a setting's text names, letter case ignored; std::nullopt for any other
// text, which counts as the default.
std::optional<SpreadsheetApplicationChoice> ParseSpreadsheetApplicationChoice(
    std::u16string_view text) noexcept;

// The setting in force now: the environment variable VEXMAR_SPREADSHEET_APPLICATION,
// else the value under HKEY_CURRENT_USER\Software\VexmarExt, else the one under
// HKEY_LOCAL_MACHINE\Software\VexmarExt. The first that is present decides; an unknown
// value there means kAutomation. Read anew on every call (Windows only).
SpreadsheetApplicationChoice CurrentSpreadsheetApplicationChoice();

}  // namespace vexmar
