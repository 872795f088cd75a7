#include "vexmar/workbook/ooxml/encryption/encrypted_package.hpp"

#include "vexmar/workbook/ooxml/encryption/decrypted_package_stream.hpp"
#include "vexmar/workbook/crypto/default_password.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"

namespace vexmar::workbook {

std::optional<std::vector<std::u16string>> ListEncryptedPackageWorksheets(
    CompoundFile& file, const std::optional<CompoundEntry>& info,
    const std::optional<CompoundEntry>& package) {
  constexpr std::uint8_t kStream = 2;
  if (!info || info->type != kStream || !package || package->type != kStream) {
    RaiseFailure(FailureKind::kEncryptionStreamsMissing);
  }
  if (info->size > DecryptionLimits::kMaxEncryptionInfoSize) {
    RaiseFailure(FailureKind::kEncryptionInfoTooLarge);
  }
  std::vector<std::byte> info_bytes(static_cast<std::size_t>(info->size));
  file.OpenStream(*info)->Read(0, info_bytes);
  const std::unique_ptr<PackageCipher> cipher = OpenPackageCipher(info_bytes);
  const std::unique_ptr<RandomAccessStream> encrypted = file.OpenStream(*package);
  DecryptedPackageStream decrypted(*encrypted, *cipher);
  return ListZipWorksheets(decrypted);
}

}  // namespace vexmar::workbook
