#pragma once
// Worksheet names of the zip-based workbook formats (Office Open XML, binary workbook,
// OpenDocument).
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

// std::nullopt when the zip holds no workbook part; throws vexmar::Error for a damaged
// or encrypted workbook.
std::optional<std::vector<std::u16string>> ListZipWorksheets(const FileSource& source);
// The same for a zip read through another source (a package decrypted on the fly).
std::optional<std::vector<std::u16string>> ListZipWorksheets(RandomAccessStream& source);

}  // namespace vexmar::workbook
