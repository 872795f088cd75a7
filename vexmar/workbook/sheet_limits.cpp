#include "vexmar/workbook/sheet_limits.hpp"

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {
namespace {

std::size_t Utf8BytesOfUtf16(std::u16string_view text) noexcept {
  std::size_t bytes = 0;
  for (const char16_t u : text) {
    // A surrogate pair takes four bytes, two per half.
    bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : (u >= 0xD800 && u <= 0xDFFF) ? 2 : 3;
  }
  return bytes;
}

}  // namespace

std::u16string SheetNameTally::Decode(std::string_view utf8) {
  if (utf8.size() > kMaxSheetNameBytes) RaiseFailure(FailureKind::kSheetNameTooLong);
  std::u16string name = Utf8ToUtf16(utf8);
  Add(name);
  return name;
}

void SheetNameTally::Add(std::u16string_view name) {
  if (name.size() > kMaxSheetNameBytes || Utf8BytesOfUtf16(name) > kMaxSheetNameBytes) {
    RaiseFailure(FailureKind::kSheetNameTooLong);
  }
  if (sheets_ >= kMaxSheets) RaiseFailure(FailureKind::kTooManySheets);
  if (name.size() > kMaxTotalNameUnits - units_) RaiseFailure(FailureKind::kSheetNamesTotalTooLong);
  ++sheets_;
  units_ += name.size();
}

}  // namespace vexmar::workbook
