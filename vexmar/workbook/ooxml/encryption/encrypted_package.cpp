#include "vexmar/workbook/ooxml/encryption/encrypted_package.hpp"

#include <vector>

#include "vexmar/workbook/crypto/default_password.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

EncryptedPackage::EncryptedPackage(CompoundFile& file, const std::optional<CompoundEntry>& info,
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
  cipher_ = OpenPackageCipher(info_bytes);
  encrypted_ = file.OpenStream(*package);
  decrypted_ = std::make_unique<DecryptedPackageStream>(*encrypted_, *cipher_);
}

}  // namespace vexmar::workbook
