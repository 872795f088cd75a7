#pragma once
// The table names of an OpenDocument spreadsheet, from the content.xml of a package or
// from a flat .fods document. Streamed; reading stops at the end of the spreadsheet body.
#include <cstddef>
#include <string>
#include <vector>

#include "vexmar/workbook/sheet_limits.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {

class OdsContentHandler final : public XmlHandler {
 public:
  // Elements below the tables need not be seen.
  static constexpr std::size_t kHandledDepth = 4;

  // `flat`: the root is office:document (.fods) rather than office:document-content.
  explicit OdsContentHandler(bool flat) : flat_(flat) {}

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override;
  bool EndElement(const XmlName& name, std::size_t depth) override;

  // The root element is the expected OpenDocument one.
  bool IsOpenDocument() const noexcept { return is_open_document_; }
  // The body is a spreadsheet (not text, drawing, ...).
  bool IsSpreadsheet() const noexcept { return is_spreadsheet_; }
  std::vector<std::u16string>& Names() noexcept { return names_; }

 private:
  bool flat_;
  bool is_open_document_ = false;
  bool in_body_ = false;
  bool in_spreadsheet_ = false;
  bool is_spreadsheet_ = false;
  std::vector<std::u16string> names_;
  SheetNameTally tally_;
};

}  // namespace vexmar::workbook
