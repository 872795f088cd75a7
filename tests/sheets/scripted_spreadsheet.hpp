#pragma once
// A scripted spreadsheet application for tests: it plays a fixed script (which creation
// attempts succeed, what Open gives, the worksheets, where an error strikes; the members
// behave as support/standin_spreadsheet.hpp says) and keeps what was done to it: the
// applications asked for, the files opened, the workbooks closed and those left open.
// Safe to share between threads.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/standin_spreadsheet.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar::testing {

struct SpreadsheetScript {
  enum class Start { kGives, kGivesNothing, kRaises };
  Start get_object = Start::kGives;  // GetObject("", "Excel")
  int create_failures = 0;           // CreateObject attempts that raise before one succeeds

  using OpenResult = standin::OpenResult;
  OpenResult open = OpenResult::kWorkbook;

  // The opened workbook's worksheets, in order; standin::kUnreadableName raises.
  std::vector<std::u16string> sheets;
  std::optional<std::int32_t> count;  // what Count reports, when not the number of sheets
  bool count_raises = false;
  enum class Raise { kError, kOutOfMemory, kOther };
  Raise name_raises = Raise::kError;  // what an unreadable name raises

  std::vector<std::u16string> already_open;  // workbooks open before the check opens its own
  int close_raises_at = 0;  // 1-based position in the closing enumeration; 0 for none
};

// The description of the error the stand-in raises in `operation`.
inline std::u16string StandInFailure(std::u16string_view operation) {
  return u"替身应用程序报告的错误：" + std::u16string(operation);
}

class ScriptedSpreadsheet {
 public:
  explicit ScriptedSpreadsheet(SpreadsheetScript script);

  // A registry with the stand-in under "Excel" and "Excel.Application".
  std::shared_ptr<const SpreadsheetApplications> Applications();

  // What was done to the stand-in, in order.
  struct Seen {
    std::vector<std::string> starts;     // "Excel" (a running one), "Excel.Application"
    std::vector<std::string> opened;     // "<path> <locale>"
    std::vector<std::string> closed;     // "<name> save=<true|false> <locale>"
    std::vector<std::string> left_open;  // still open when their application was released
  };
  Seen Done() const;
  // Whether every object handed out has been released.
  bool NothingHeld() const;

  struct Record;  // shared with the objects handed out

 private:
  std::shared_ptr<Record> record_;
};

}  // namespace vexmar::testing
