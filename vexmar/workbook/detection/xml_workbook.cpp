#include "vexmar/workbook/detection/xml_workbook.hpp"

#include <string_view>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/byte_stream.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/opendocument/ods_content.hpp"
#include "vexmar/workbook/spreadsheetml/spreadsheetml_content.hpp"
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kSpreadsheetNs = "urn:schemas-microsoft-com:office:spreadsheet";

// Tells the format by the root element and hands the document to its reader; any
// other root ends the parse at once.
class FlatDocumentHandler final : public XmlHandler {
 public:
  void Attach(XmlStreamParser& parser) noexcept { parser_ = &parser; }

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override {
    if (depth == 1) {
      if (name.Is(kOfficeNs, "document")) {
        inner_ = &ods_;
        parser_->SetHandledDepth(OdsContentHandler::kHandledDepth);
      } else if (name.Is(kSpreadsheetNs, "Workbook")) {
        inner_ = &spreadsheet_ml_;
        parser_->SetHandledDepth(SpreadsheetMlHandler::kHandledDepth);
      } else {
        return false;
      }
    }
    return inner_->StartElement(name, attributes, depth);
  }
  bool EndElement(const XmlName& name, std::size_t depth) override {
    return inner_ != nullptr && inner_->EndElement(name, depth);
  }

  bool Recognized() const noexcept { return inner_ != nullptr; }
  std::optional<std::vector<std::u16string>> Result() {
    if (inner_ == &ods_) {
      if (!ods_.IsSpreadsheet()) return std::nullopt;  // a flat text or drawing document
      return std::move(ods_.Names());
    }
    if (inner_ == &spreadsheet_ml_) return std::move(spreadsheet_ml_.Names());
    return std::nullopt;
  }

 private:
  XmlStreamParser* parser_ = nullptr;
  XmlHandler* inner_ = nullptr;
  OdsContentHandler ods_{true};
  SpreadsheetMlHandler spreadsheet_ml_;
};

bool IsWorkbookDoctype(std::string_view name) noexcept {
  const std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  return name == "Workbook" || name == "document";
}

}  // namespace

std::optional<std::vector<std::u16string>> ListXmlWorksheets(const FileSource& source) {
  FlatDocumentHandler handler;
  XmlStreamParser parser(handler, 1);
  handler.Attach(parser);
  FileByteStream stream(source);
  // Sheet names sit at depth 2 (SpreadsheetML) or 4 (OpenDocument); cell data below
  // that never reaches the parser.
  XmlSkeletonStream skeleton(stream, OdsContentHandler::kHandledDepth);
  switch (parser.Parse(skeleton)) {
    case XmlOutcome::kDoctype:
      // Workbooks never carry a document type; one that does is refused rather than
      // having its entities expanded. Any other document is simply not a workbook.
      if (IsWorkbookDoctype(parser.DoctypeName())) {
        RaiseFailure(FailureKind::kXmlWorkbookHasDoctype);
      }
      return std::nullopt;
    case XmlOutcome::kMalformed:
      if (!handler.Recognized()) return std::nullopt;
      RaiseMalformedXml(parser, FailureKind::kXmlWorkbookMalformed);
    case XmlOutcome::kStopped:
    case XmlOutcome::kComplete:
      break;
  }
  return handler.Result();
}

}  // namespace vexmar::workbook
