#include "vexmar/workbook/opendocument/ods_package.hpp"

#include <string_view>

#include "vexmar/workbook/containers/zip_part_limit.hpp"
#include "vexmar/workbook/containers/zip_xml_part.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/opendocument/ods_content.hpp"
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kManifestNs = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";

// Whether META-INF/manifest.xml marks content.xml as encrypted (a password-protected
// document keeps its zip entries plain but their bytes ciphered).
bool ContentIsEncrypted(ZipArchive& zip) {
  class Handler final : public XmlHandler {
   public:
    bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                      std::size_t depth) override {
      if (depth == 2 && name.Is(kManifestNs, "file-entry")) {
        const char* path = attributes.Find(kManifestNs, "full-path");
        in_content_ = path != nullptr && std::string_view(path) == "content.xml";
      } else if (depth == 3 && in_content_ && name.Is(kManifestNs, "encryption-data")) {
        encrypted_ = true;
        return false;
      }
      return true;
    }
    bool EndElement(const XmlName&, std::size_t) override { return true; }
    bool encrypted_ = false;

   private:
    bool in_content_ = false;
  } handler;
  const std::optional<ZipEntry> manifest = zip.Find("META-INF/manifest.xml");
  if (!manifest) return false;
  XmlStreamParser parser(handler, 3);
  ParsePartXml(zip, *manifest, parser);
  return handler.encrypted_;
}

}  // namespace

std::optional<std::vector<std::u16string>> ListOpenDocumentPackage(ZipArchive& zip, bool declared) {
  const std::optional<ZipEntry> content = zip.Find("content.xml");
  if (!content) {
    if (declared) RaiseFailure(FailureKind::kContentPartMissing);
    return std::nullopt;
  }
  OdsContentHandler handler(false);
  XmlStreamParser parser(handler, OdsContentHandler::kHandledDepth);
  const std::unique_ptr<ByteStream> stream = zip.Open(*content);
  XmlSkeletonStream skeleton(*stream, OdsContentHandler::kHandledDepth);
  PartReadLimit limited(skeleton, content->name);
  const XmlOutcome outcome = parser.Parse(limited);
  if (outcome == XmlOutcome::kMalformed || outcome == XmlOutcome::kDoctype) {
    if (ContentIsEncrypted(zip)) RaiseFailure(FailureKind::kEncrypted);
    if (outcome == XmlOutcome::kDoctype) {
      RaiseFailure(FailureKind::kPartHasDoctype, u"content.xml");
    }
    RaiseMalformedXml(parser, FailureKind::kPartMalformedXml, u"content.xml");
  }
  if (!handler.IsOpenDocument() || !handler.IsSpreadsheet()) {
    if (declared) RaiseFailure(FailureKind::kContentWithoutSpreadsheet);
    return std::nullopt;
  }
  return std::move(handler.Names());
}

}  // namespace vexmar::workbook
