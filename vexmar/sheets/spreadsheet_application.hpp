#pragma once
// What the worksheet check needs of a spreadsheet application, and nothing more: the
// application's open workbooks, opening a workbook file, a workbook's worksheets with
// their count and names, closing a workbook without saving. An implementation may drive
// the real application through automation, read workbook files itself, or play a script
// in tests.
//
// Every object is handed out by shared_ptr; dropping the last reference is the release.
// An operation that fails throws vexmar::Error carrying the application's own
// description.
#include <cstdint>
#include <memory>
#include <string>

#include "vexmar/component/export.hpp"

namespace vexmar {

// The locale passed with Open and Close: U.S. English, so that the application reads
// the arguments the same way whatever its user interface language.
inline constexpr std::uint32_t kSpreadsheetLocale = 1033;

// One pass over a collection, in the collection's order.
template <typename Item>
class VEXMAR_API SpreadsheetEnumerator {
 public:
  virtual ~SpreadsheetEnumerator() = default;
  // The next item, or nullptr after the last one.
  virtual std::shared_ptr<Item> Next() = 0;
};

class VEXMAR_API SpreadsheetWorksheet {
 public:
  virtual ~SpreadsheetWorksheet() = default;
  virtual std::u16string Name() = 0;
};

// A workbook's worksheets.
class VEXMAR_API SpreadsheetSheets {
 public:
  virtual ~SpreadsheetSheets() = default;
  // At least the number of worksheets the enumeration gives.
  virtual std::int32_t Count() = 0;
  // Every worksheet once, in the workbook's sheet order.
  virtual std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorksheet>> NewEnum() = 0;
};

class VEXMAR_API SpreadsheetWorkbook {
 public:
  virtual ~SpreadsheetWorkbook() = default;
  virtual std::shared_ptr<SpreadsheetSheets> Worksheets() = 0;
  // Closes the workbook; with SaveChanges false nothing is written and no one is asked.
  virtual void Close(bool SaveChanges, std::uint32_t locale) = 0;
};

// The application's open workbooks.
class VEXMAR_API SpreadsheetWorkbooks {
 public:
  virtual ~SpreadsheetWorkbooks() = default;
  // Opens the workbook file named by a path in the host's form ("\" separators), with
  // the application's defaults for everything else. nullptr when the application gives
  // no workbook; an Error when it refuses the file.
  virtual std::shared_ptr<SpreadsheetWorkbook> Open(const std::u16string& Filename,
                                                    std::uint32_t locale) = 0;
  virtual std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorkbook>> NewEnum() = 0;
};

// The application object. It is never told to quit: releasing it is all the check does.
class VEXMAR_API SpreadsheetApplication {
 public:
  virtual ~SpreadsheetApplication() = default;
  virtual std::shared_ptr<SpreadsheetWorkbooks> Workbooks() = 0;
};

}  // namespace vexmar
