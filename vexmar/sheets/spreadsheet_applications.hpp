#pragma once
// The spreadsheet applications a worksheet check can reach, by class name: the
// "get a new object" and "create an object" entry points of the platform. A registry
// is fixed when it is built, so one registry may serve objects on many threads at once;
// its factories must allow that too.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/export.hpp"
#include "vexmar/sheets/spreadsheet_application.hpp"

namespace vexmar {

// Class names the worksheet check asks for.
inline constexpr std::u16string_view kSpreadsheetClassName = u"Excel";
inline constexpr std::u16string_view kSpreadsheetProgId = u"Excel.Application";

// Starts a new instance of an application. It may throw vexmar::Error; giving nullptr
// counts as failing to create the object.
using SpreadsheetApplicationFactory = std::function<std::shared_ptr<SpreadsheetApplication>()>;

class VEXMAR_API SpreadsheetApplications {
 public:
  struct Entry {
    std::u16string ClassName;  // compared without regard to letter case
    SpreadsheetApplicationFactory Factory;
  };

  SpreadsheetApplications() = default;  // no application at all
  // The first entry of a name wins.
  explicit SpreadsheetApplications(std::vector<Entry> entries);

  // A new object of the class when `strPathName` is empty. Opening a document by path
  // is not offered (invalid-argument error). An unknown class, or a factory that gives
  // nothing, is the cannot-create-object error.
  std::shared_ptr<SpreadsheetApplication> GetObject(std::u16string_view strPathName,
                                                    std::u16string_view strClass) const;

  // A new object by programmatic identifier; errors as for GetObject.
  std::shared_ptr<SpreadsheetApplication> CreateObject(std::u16string_view strProgId) const;

  bool Has(std::u16string_view class_name) const noexcept;

 private:
  std::shared_ptr<SpreadsheetApplication> Start(std::u16string_view class_name) const;

  std::vector<Entry> entries_;
};

// The platform's applications: the embedded workbook reader under both class names on
// builds without automation, the real application through automation on Windows.
// Built once, on first use.
VEXMAR_API std::shared_ptr<const SpreadsheetApplications> DefaultSpreadsheetApplications();

}  // namespace vexmar
