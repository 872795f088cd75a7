#include "vexmar/workbook/ooxml/encryption/decrypted_package_stream.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "vexmar/workbook/containers/zip_archive.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::uint64_t kCipherBlock = 16;

}  // namespace

DecryptedPackageStream::DecryptedPackageStream(RandomAccessStream& encrypted, PackageCipher& cipher)
    : encrypted_(encrypted), cipher_(cipher) {
  if (encrypted_.Size() < kHeaderSize) RaiseFailure(FailureKind::kEncryptedPackageTooShort);
  std::array<std::byte, kHeaderSize> header{};
  encrypted_.Read(0, header);
  const std::uint64_t available = encrypted_.Size() - kHeaderSize;
  size_ = LoadU64(header, 0);
  // Some producers leave junk in the upper half of the size field.
  if (size_ > available && LoadU32(header, 0) <= available) size_ = LoadU32(header, 0);
  if (size_ > ZipLimits::kMaxInflatedTotal)
    RaiseFailure(FailureKind::kEncryptedPackageSizeTooLarge);
  padded_size_ = (size_ + kCipherBlock - 1) / kCipherBlock * kCipherBlock;
  if (padded_size_ > available) RaiseFailure(FailureKind::kEncryptedPackageTruncated);
}

std::size_t DecryptedPackageStream::SegmentLength(std::uint64_t index) const {
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(kSegmentSize, padded_size_ - index * kSegmentSize));
}

void DecryptedPackageStream::DecryptSegment(std::uint64_t index, std::span<std::byte> out) {
  encrypted_.Read(kHeaderSize + index * kSegmentSize, out);
  cipher_.DecryptSegment(index, out);
  ++segments_decrypted_;
}

void DecryptedPackageStream::Read(std::uint64_t offset, std::span<std::byte> out) {
  if (offset > size_ || out.size() > size_ - offset) RaiseFailure(FailureKind::kFileTruncated);
  while (!out.empty()) {
    const std::uint64_t index = offset / kSegmentSize;
    const std::size_t within = static_cast<std::size_t>(offset % kSegmentSize);
    const std::size_t length = SegmentLength(index);
    std::size_t n = 0;
    if (within == 0 && out.size() >= length) {
      DecryptSegment(index, out.first(length));
      n = length;
    } else {
      if (cached_index_ != index) {
        cache_.resize(kSegmentSize);
        cached_index_ = UINT64_MAX;
        DecryptSegment(index, std::span(cache_).first(length));
        cached_index_ = index;
      }
      n = std::min(out.size(), length - within);
      std::memcpy(out.data(), cache_.data() + within, n);
    }
    offset += n;
    out = out.subspan(n);
  }
}

}  // namespace vexmar::workbook
