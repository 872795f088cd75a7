#pragma once
// Worksheets of an Office Open XML workbook (.xlsx, .xlsm, .xlsb) saved encrypted in a
// compound file: decrypted with the default password and read by the zip reader
// through a decrypting stream.
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/containers/compound_file.hpp"

namespace vexmar::workbook {

// `info` and `package` are the EncryptionInfo and EncryptedPackage entries (either may
// be missing: then the file is damaged). A package saved with another password is the
// encrypted-workbook error.
std::optional<std::vector<std::u16string>> ListEncryptedPackageWorksheets(
    CompoundFile& file, const std::optional<CompoundEntry>& info,
    const std::optional<CompoundEntry>& package);

}  // namespace vexmar::workbook
