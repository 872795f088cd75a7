#pragma once
// The worksheet names of a SpreadsheetML 2003 document (root ss:Workbook, one
// ss:Worksheet element per worksheet, named by ss:Name).
#include <cstddef>
#include <string>
#include <vector>

#include "vexmar/workbook/sheet_limits.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {

class SpreadsheetMlHandler final : public XmlHandler {
 public:
  static constexpr std::size_t kHandledDepth = 2;

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override;
  bool EndElement(const XmlName& name, std::size_t depth) override;

  bool IsWorkbook() const noexcept { return is_workbook_; }
  std::vector<std::u16string>& Names() noexcept { return names_; }

 private:
  bool is_workbook_ = false;
  std::vector<std::u16string> names_;
  SheetNameTally tally_;
};

}  // namespace vexmar::workbook
