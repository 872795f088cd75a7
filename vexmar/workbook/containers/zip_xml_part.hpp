#pragma once
// An XML part of a zip package, streamed through the parser under the cap on what a
// reader takes from one part (zip_part_limit.hpp): how both package formats, Office
// Open XML and OpenDocument, read their small parts.
#include "vexmar/workbook/containers/zip_archive.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {

// Malformed XML and document type declarations are damage; returns kComplete or kStopped.
XmlOutcome ParsePartXml(ZipArchive& zip, const ZipEntry& entry, XmlStreamParser& parser);

}  // namespace vexmar::workbook
