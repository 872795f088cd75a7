#pragma once
// The sheet list of a binary workbook part (workbook.bin of an .xlsb package).
#include <cstddef>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"
#include "vexmar/workbook/ooxml/package_sheet.hpp"

namespace vexmar::workbook {

// The BrtBundleSh records between BrtBeginBundleShs and BrtEndBundleShs, in order.
// Reading stops at BrtEndBundleShs; a stream that ends before it, or a record that does
// not fit its own length, is damage.
std::vector<PackageSheet> ReadXlsbSheets(ByteStream& stream);

// Whether bytes start like a binary workbook part (a BrtBeginBook record).
bool LooksLikeXlsbWorkbook(std::span<const std::byte> head) noexcept;

}  // namespace vexmar::workbook
