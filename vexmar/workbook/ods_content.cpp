#include "vexmar/workbook/ods_content.hpp"

#include <cstring>
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
        if (names_.size() >= kMaxSheets) RaiseDamaged(u"工作表数量超出上限");
        const char* table_name = attributes.Find(kTableNs, "name");
        if (table_name == nullptr) {
          // Unnamed tables get the name a spreadsheet program gives them on loading.
          names_.push_back(u"Sheet" + Utf8ToUtf16(std::to_string(names_.size() + 1)));
        } else {
          if (std::strlen(table_name) > kMaxSheetNameBytes) RaiseDamaged(u"工作表名称过长");
          names_.push_back(Utf8ToUtf16(table_name));
        }
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
