// The worksheet names of the candidate's workbook, read through a spreadsheet
// application: the file must exist, a new application is obtained, the workbook is
// opened and its names read, every open workbook is closed without saving, and the
// application is let go without being told to quit.
#include <exception>
#include <utility>

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {
namespace {

constexpr std::u16string_view kFileNotCreated = u"文件未创建！";
constexpr std::u16string_view kCannotStartApplication = u"无法打开EXCEL,请确定是否安装了EXCEL!";

// The path to open, from the names the existence check found. The check matches names
// without regard to letter case, and this platform may hold two files that differ only
// in case ("case.xml" and "Case.xml"): the file named exactly is opened when there is
// one, otherwise the first found under another spelling ('A.XLS' for 'a.xls'). A name
// with wildcards matches no file exactly and is passed on as written; the application
// refuses it.
std::u16string PathOfFoundFile(const std::u16string& workbook_path, std::u16string found,
                               DirectoryListing& listing) {
  // Cut exactly where the listing cuts the search text, so both see the same name.
  const SearchTextParts parts = SplitSearchText(workbook_path);
  if (!EqualsIgnoreCase(parts.pattern, found)) return workbook_path;
  for (std::u16string other = found; !other.empty(); other = listing.Next()) {
    if (other == parts.pattern) return workbook_path;
  }
  std::u16string path(parts.directory);
  path.append(found);
  return path;
}

// An application that hands out no object where one is due has failed.
template <typename T>
T& Held(const std::shared_ptr<T>& object) {
  if (!object) Raise(ErrorNumber::kApplicationDefined);
  return *object;
}
template <typename T>
T& Held(const std::unique_ptr<T>& object) {
  if (!object) Raise(ErrorNumber::kApplicationDefined);
  return *object;
}

// Errors are ignored while the application is being obtained: an attempt that fails
// simply gives nothing, and the next one follows.
template <typename Attempt>
bool TryIgnoringErrors(Attempt&& attempt) noexcept {
  try {
    attempt();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool ClsExcelMultiSheets::InspectWorkbook(std::u16string& strErrMsg, StringList& names) {
  const std::u16string workbook_path = JoinHostPath(test_path_, file_name_);
  DirectoryListing listing;
  std::u16string found = listing.First(workbook_path);
  if (found.empty()) {
    strErrMsg = kFileNotCreated;
    return false;
  }
  const std::u16string open_path = PathOfFoundFile(workbook_path, std::move(found), listing);

  std::shared_ptr<SpreadsheetApplication> application;
  TryIgnoringErrors([&] { application = applications_->GetObject(u"", kSpreadsheetClassName); });
  if (!application) {
    const auto create = [&] { application = applications_->CreateObject(kSpreadsheetProgId); };
    if (!TryIgnoringErrors(create) && !TryIgnoringErrors(create)) {
      strErrMsg = kCannotStartApplication;
      return false;
    }
  }

  // From here on an error ends the call; the application reference goes with it and no
  // workbook is closed.
  std::shared_ptr<SpreadsheetWorkbook> workbook =
      Held(Held(application).Workbooks()).Open(open_path, kSpreadsheetLocale);
  if (!workbook) {
    strErrMsg = u"文件[" + file_name_ + u"]为非Xls文件。";
    return false;
  }
  GetSheetNames(workbook, names);

  // Closes the opened workbook and any other the application holds open.
  const auto open_workbooks = Held(application->Workbooks()).NewEnum();
  while ((workbook = Held(open_workbooks).Next())) workbook->Close(false, kSpreadsheetLocale);
  return true;
}

void ClsExcelMultiSheets::GetSheetNames(const std::shared_ptr<SpreadsheetWorkbook>& workbook,
                                        StringList& names) {
  names.ResetToPlaceholder();
  const std::int32_t count = Held(Held(workbook).Worksheets()).Count();
  if (count >= 1) names.Redim(count);
  const auto worksheets = Held(workbook->Worksheets()).NewEnum();
  std::int32_t k = 0;
  while (const std::shared_ptr<SpreadsheetWorksheet> worksheet = Held(worksheets).Next()) {
    k = CheckedAdd(k, 1);
    names.Set(k, worksheet->Name());
  }
}

}  // namespace vexmar
