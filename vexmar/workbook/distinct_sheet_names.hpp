#pragma once
// A spreadsheet program never holds two sheets whose names are equal ignoring case, nor
// a sheet without a name. Workbooks written by other programs can, so the listing names
// them as a spreadsheet program does on loading.
#include <string>
#include <vector>

namespace vexmar::workbook {

// In sheet order: an empty name becomes the first free "Sheet<n>" from n = its position
// (1-based); a name equal ignoring case to an earlier one becomes the first free
// "<name>_<k>" from k = 2. Linear in the number of names (up to a log factor), whatever
// the names.
void MakeSheetNamesDistinct(std::vector<std::u16string>& names);

}  // namespace vexmar::workbook
