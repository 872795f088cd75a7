#include "vexmar/workbook/containers/zip_xml_part.hpp"

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/containers/zip_part_limit.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

XmlOutcome ParsePartXml(ZipArchive& zip, const ZipEntry& entry, XmlStreamParser& parser) {
  const std::unique_ptr<ByteStream> stream = zip.Open(entry);
  PartReadLimit limited(*stream, entry.name);
  const XmlOutcome outcome = parser.Parse(limited);
  if (outcome == XmlOutcome::kMalformed) {
    RaiseMalformedXml(parser, FailureKind::kPartMalformedXml, Utf8ToUtf16Escaped(entry.name));
  }
  if (outcome == XmlOutcome::kDoctype) {
    RaiseFailure(FailureKind::kPartHasDoctype, Utf8ToUtf16Escaped(entry.name));
  }
  return outcome;
}

}  // namespace vexmar::workbook
