#pragma once
// Office Open XML packages saved with a password travel in a compound file: the
// EncryptionInfo stream says how the key is derived from the password, the
// EncryptedPackage stream holds the zip package, AES-encrypted in 4096-byte segments.
// Both schemes are read: standard encryption (AES-ECB, SHA-1, 50,000 rounds) and agile
// encryption (an XML descriptor; AES-CBC, MD5 or SHA-1/256/384/512, any spin count up
// to a cap, a random package key wrapped with the password's key).
#include <cstdint>
#include <memory>
#include <span>

namespace vexmar::workbook {

class PackageCipher {
 public:
  virtual ~PackageCipher() = default;
  // Decrypts segment `index` of the package (whole 16-byte blocks) in place.
  virtual void DecryptSegment(std::uint64_t index, std::span<std::byte> data) = 0;
};

// The cipher for a package saved with the default password. Another password, an
// unknown scheme or algorithm is the encrypted-workbook error; an EncryptionInfo stream
// that contradicts itself or exceeds the caps (spin count, salt and key sizes) is damage,
// raised before any hashing.
// A spin count beyond the default-password cap is the encrypted error too, before hashing.
std::unique_ptr<PackageCipher> OpenPackageCipher(std::span<const std::byte> encryption_info);

// Hash rounds of key derivations run on this thread so far (for tests and benchmarks).
std::uint64_t KeyDerivationRounds() noexcept;

}  // namespace vexmar::workbook
