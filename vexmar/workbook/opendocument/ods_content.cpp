#include "vexmar/workbook/opendocument/ods_content.hpp"

#include <string>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/sheet_limits.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";

}  // namespace

bool OdsContentHandler::StartElement(const XmlName& name, const XmlAttributes& attributes,
                                     std::size_t depth) {
  switch (depth) {
    case 1:
      is_open_document_ = name.Is(kOfficeNs, flat_ ? "document" : "document-content");
      return is_open_document_;
    case 2:
      in_body_ = name.Is(kOfficeNs, "body");
      return true;
    case 3:
      if (!in_body_) return true;
      // The body holds one kind of document; any other kind is not a workbook.
      is_spreadsheet_ = name.Is(kOfficeNs, "spreadsheet");
      in_spreadsheet_ = is_spreadsheet_;
      return is_spreadsheet_;
    case 4:
      if (in_spreadsheet_ && name.Is(kTableNs, "table")) {
        // An unnamed table stays empty here; the listing names it as a spreadsheet
        // program does on loading.
        const char* table_name = attributes.Find(kTableNs, "name");
        names_.push_back(tally_.Decode(table_name != nullptr ? table_name : ""));
      }
      return true;
    default:
      return true;
  }
}

bool OdsContentHandler::EndElement(const XmlName&, std::size_t depth) {
  if (depth == 3 && in_spreadsheet_) return false;  // every table has been seen
  if (depth == 2 && in_body_) return false;
  return true;
}

}  // namespace vexmar::workbook
