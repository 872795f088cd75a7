#pragma once
// Bounds on what one listing may collect from an untrusted workbook.
#include <cstddef>

namespace vexmar::workbook {

// More sheets than any real workbook holds; a longer list is refused as damaged.
inline constexpr std::size_t kMaxSheets = 65'535;
// Excel stops at 31 units, OpenDocument has no limit; anything longer than this is hostile.
inline constexpr std::size_t kMaxSheetNameBytes = 16'384;

}  // namespace vexmar::workbook
