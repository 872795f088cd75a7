#include "vexmar/workbook/detection/compound_file_workbook.hpp"

#include <array>
#include <string_view>

#include "vexmar/workbook/containers/compound_file.hpp"
#include "vexmar/workbook/containers/compound_file_format.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/ooxml/encryption/encrypted_package.hpp"
#include "vexmar/workbook/plain/text_workbook.hpp"
#include "vexmar/workbook/xls/biff_workbook.hpp"

namespace vexmar::workbook {

std::optional<std::vector<std::u16string>> ListCompoundWorksheets(const FileSource& source) {
  CompoundFile file(source);
  static constexpr std::array<std::u16string_view, 4> kStreams = {
      u"Workbook", u"Book", u"EncryptionInfo", u"EncryptedPackage"};
  const auto found = file.FindTopLevel(kStreams);
  // An encrypted Office Open XML package travels in a compound file; decrypted, it is a
  // zip like any other.
  if (found[2] || found[3]) {
    EncryptedPackage package(file, found[2], found[3]);
    return ListZipWorksheets(package.Decrypted());
  }
  for (std::size_t i = 0; i < 2; ++i) {
    if (found[i] && found[i]->type == cfb::kEntryStream) {
      const auto stream = file.OpenStream(*found[i]);
      return ListBiffWorksheets(*stream, i == 0 ? BiffVersion::kBiff8 : BiffVersion::kBiff5,
                                SheetNameFromFileName(source.Path()));
    }
  }
  // The workbook stream may hang behind a link that leads nowhere.
  if (file.HasBrokenLinks()) RaiseFailure(FailureKind::kEntryIdOutOfRange);
  return std::nullopt;
}

}  // namespace vexmar::workbook
