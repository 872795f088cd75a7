#pragma once
// Bounds on what one listing may collect from an untrusted workbook.
#include <cstddef>
#include <string>
#include <string_view>

namespace vexmar::workbook {

// More sheets than any real workbook holds; a longer list is refused as damaged.
inline constexpr std::size_t kMaxSheets = 65'535;
// Excel stops at 31 units, OpenDocument has no limit; anything longer than this is hostile.
// Measured as the UTF-8 length of the decoded name, in every format.
inline constexpr std::size_t kMaxSheetNameBytes = 16'384;
// All names of one listing together, in UTF-16 units. A real workbook needs at most
// 65,535 x 31 units (2,031,585); beyond this the listing is refused as damaged, so that
// one listing never holds more than a few MiB of names.
inline constexpr std::size_t kMaxTotalNameUnits = std::size_t{1} << 21;
// A sheet's relationship id ("rId7"); a longer one is not a real id.
inline constexpr std::size_t kMaxRelationshipIdBytes = 255;

// Charges each sheet name a reader keeps against the caps above, before it is kept.
class SheetNameTally {
 public:
  // A name given as UTF-8: checked, decoded, charged.
  std::u16string Decode(std::string_view utf8);
  // A decoded name.
  void Add(std::u16string_view name);

 private:
  std::size_t sheets_ = 0;
  std::size_t units_ = 0;
};

}  // namespace vexmar::workbook
