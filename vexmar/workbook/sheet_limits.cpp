#include "vexmar/workbook/sheet_limits.hpp"

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/file_source.hpp"

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
  if (utf8.size() > kMaxSheetNameBytes) RaiseDamaged(u"工作表名称过长");
  std::u16string name = Utf8ToUtf16(utf8);
  Add(name);
  return name;
}

void SheetNameTally::Add(std::u16string_view name) {
  if (name.size() > kMaxSheetNameBytes || Utf8BytesOfUtf16(name) > kMaxSheetNameBytes) {
    RaiseDamaged(u"工作表名称过长");
  }
  if (sheets_ >= kMaxSheets) RaiseDamaged(u"工作表数量超出上限");
  if (name.size() > kMaxTotalNameUnits - units_) RaiseDamaged(u"工作表名称的总长度超出上限");
  ++sheets_;
  units_ += name.size();
}

}  // namespace vexmar::workbook
