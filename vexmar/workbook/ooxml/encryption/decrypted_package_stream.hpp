#pragma once
// The zip package inside an EncryptedPackage stream, decrypted on demand: a read
// decrypts only the 4096-byte segments it touches, whole segments straight into the
// caller's buffer and partial ones through a one-segment cache, so memory stays flat
// whatever the package's size and nothing is written anywhere.
#include <cstdint>
#include <span>
#include <vector>

#include "vexmar/workbook/crypto/default_password.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

class DecryptedPackageStream final : public RandomAccessStream {
 public:
  // `encrypted` is the EncryptedPackage stream: the package size (8 bytes), then the
  // ciphertext. A size that the ciphertext cannot hold, or beyond the cap, is damage.
  DecryptedPackageStream(RandomAccessStream& encrypted, PackageCipher& cipher);

  std::uint64_t Size() const override { return size_; }
  void Read(std::uint64_t offset, std::span<std::byte> out) override;

  // Segments decrypted so far (for tests that count the work done).
  std::uint64_t SegmentsDecrypted() const noexcept { return segments_decrypted_; }

  static constexpr std::size_t kSegmentSize = DecryptionLimits::kSegmentSize;
  static constexpr std::uint64_t kHeaderSize = 8;

 private:
  // Reads and decrypts segment `index` (its used length) into `out`.
  void DecryptSegment(std::uint64_t index, std::span<std::byte> out);
  // Bytes of segment `index` in the stream: whole cipher blocks covering the package.
  std::size_t SegmentLength(std::uint64_t index) const;

  RandomAccessStream& encrypted_;
  PackageCipher& cipher_;
  std::uint64_t size_ = 0;
  std::uint64_t padded_size_ = 0;  // size_ rounded up to whole cipher blocks
  std::vector<std::byte> cache_;
  std::uint64_t cached_index_ = UINT64_MAX;
  std::uint64_t segments_decrypted_ = 0;
};

}  // namespace vexmar::workbook
