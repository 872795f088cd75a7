#pragma once
// An Office Open XML workbook (.xlsx, .xlsm, .xlsb) saved encrypted in a compound file:
// its zip package, decrypted with the default password as it is read.
#include <memory>
#include <optional>

#include "vexmar/workbook/containers/compound_file.hpp"
#include "vexmar/workbook/ooxml/encryption/decrypted_package_stream.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

class EncryptedPackage {
 public:
  // `info` and `package` are the EncryptionInfo and EncryptedPackage entries of `file`
  // (either may be missing: then the file is damaged); `file` must outlive this. A
  // package saved with another password is the encrypted-workbook error.
  EncryptedPackage(CompoundFile& file, const std::optional<CompoundEntry>& info,
                   const std::optional<CompoundEntry>& package);
  EncryptedPackage(const EncryptedPackage&) = delete;
  EncryptedPackage& operator=(const EncryptedPackage&) = delete;

  // The zip package, decrypted segment by segment as it is read.
  RandomAccessStream& Decrypted() noexcept { return *decrypted_; }

 private:
  std::unique_ptr<PackageCipher> cipher_;
  std::unique_ptr<RandomAccessStream> encrypted_;
  std::unique_ptr<DecryptedPackageStream> decrypted_;
};

}  // namespace vexmar::workbook
