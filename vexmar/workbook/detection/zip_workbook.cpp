#include "vexmar/workbook/detection/zip_workbook.hpp"

#include <string_view>

#include "vexmar/workbook/containers/zip_archive.hpp"
#include "vexmar/workbook/ooxml/ooxml_workbook.hpp"
#include "vexmar/workbook/opendocument/ods_package.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kOdfPrefix = "application/vnd.oasis.opendocument.";
constexpr std::string_view kOdsType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::size_t kMaxMimetype = 256;

std::string_view Trim(std::string_view text) noexcept {
  while (!text.empty() &&
         std::string_view(" \t\r\n").find(text.front()) != std::string_view::npos) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::string_view(" \t\r\n").find(text.back()) != std::string_view::npos) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<std::vector<std::u16string>> ListZipWorksheets(const FileSource& source) {
  WholeFileStream stream(source);
  return ListZipWorksheets(stream);
}

std::optional<std::vector<std::u16string>> ListZipWorksheets(RandomAccessStream& source) {
  ZipArchive zip(source);
  if (const std::optional<ZipEntry> mimetype = zip.Find("mimetype");
      mimetype && mimetype->uncompressed_size <= kMaxMimetype) {
    const std::string text = zip.ReadWhole(*mimetype, kMaxMimetype);
    const std::string_view type = Trim(text);
    if (type.starts_with(kOdsType)) return ListOpenDocumentPackage(zip, true);
    if (type.starts_with(kOdfPrefix)) return std::nullopt;
  }
  if (zip.Contains("_rels/.rels") || zip.Contains("[Content_Types].xml")) {
    return ListPackageWorksheets(zip);
  }
  if (zip.Contains("content.xml")) return ListOpenDocumentPackage(zip, false);
  return std::nullopt;
}

}  // namespace vexmar::workbook
