#pragma once
// What a stand-in spreadsheet application does, member by member. Two stand-ins share it:
// the scripted application of the Linux tests (tests/sheets/scripted_spreadsheet) and
// the automation server the Wine tests register (tests/com/wine/standin_spreadsheet);
// they differ only in how a test reaches them and describes a workbook.
//
//   creation           the first `refusals` attempts fail, later ones give an application
//   Workbooks.Open     gives the described workbook, no workbook, or raises its refusal
//   Sheets.Count       the number of worksheets
//   Worksheet.Name     the name; kUnreadableName stands for a name that raises
//   Workbook.Close     takes the workbook out of the application's open ones
//   started with one   a new application starts with kPreopenedName (sheet "P1") open
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexmar::standin {

enum class OpenResult { kWorkbook, kNoWorkbook, kRaises };

struct WorkbookBehaviour {
  OpenResult open = OpenResult::kWorkbook;
  std::vector<std::u16string> sheets;  // in order
  std::u16string refusal;              // what Open raises with
};

inline constexpr std::u16string_view kUnreadableName = u"!fail";
inline constexpr std::u16string_view kPreopenedName = u"Preopened.xls";
inline constexpr std::u16string_view kPreopenedSheet = u"P1";

// The automation error numbers raised: an application-defined failure, and an index
// beyond the worksheets.
inline constexpr std::int32_t kApplicationFailure = 1004;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;

// A workbook written as text lines: "SHEETS" and one worksheet name a line; "NOTHING";
// or "REFUSE" and the description. Anything else is no workbook (nullopt).
inline std::optional<WorkbookBehaviour> DescribedWorkbook(std::vector<std::u16string> lines) {
  if (lines.empty()) return std::nullopt;
  const std::u16string kind = lines.front();
  lines.erase(lines.begin());
  if (kind == u"SHEETS") return WorkbookBehaviour{OpenResult::kWorkbook, std::move(lines), {}};
  if (kind == u"NOTHING") return WorkbookBehaviour{OpenResult::kNoWorkbook, {}, {}};
  if (kind == u"REFUSE") {
    return WorkbookBehaviour{OpenResult::kRaises, {}, lines.empty() ? u"refused" : lines.front()};
  }
  return std::nullopt;
}

// Creation attempts, the first `refusals` of which fail.
class Creations {
 public:
  explicit Creations(int refusals = 0) : refusals_(refusals) {}
  void Refuse(int refusals) { refusals_ = refusals; }
  bool NextFails() {
    if (refusals_ <= 0) return false;
    --refusals_;
    return true;
  }

 private:
  int refusals_;
};

}  // namespace vexmar::standin
