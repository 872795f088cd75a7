#pragma once
// Worksheet names of an OpenDocument spreadsheet package (.ods): the tables of its
// content.xml, read by the content reader the flat format (.fods) shares.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/containers/zip_archive.hpp"

namespace vexmar::workbook {

// `declared`: the mimetype entry says this is a spreadsheet, so anything missing is
// damage; otherwise a package without content.xml, or whose content is no spreadsheet,
// gives std::nullopt. Content that does not parse is the encrypted error when the
// manifest marks it encrypted, else damage.
std::optional<std::vector<std::u16string>> ListOpenDocumentPackage(ZipArchive& zip, bool declared);

}  // namespace vexmar::workbook
