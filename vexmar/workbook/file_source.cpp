#include "vexmar/workbook/file_source.hpp"

#include <algorithm>
#include <cstring>

#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

void FileSource::LoadIfSmall() {
  if (size_ == 0 || size_ > kReadWholeBytes) return;
  const auto size = static_cast<std::size_t>(size_);
  whole_ = std::make_unique_for_overwrite<std::byte[]>(size);
  whole_size_ = ReadFromFile(0, std::span(whole_.get(), size));
}

std::size_t FileSource::ReadSome(std::uint64_t offset, std::span<std::byte> out) const {
  if (!whole_) return ReadFromFile(offset, out);
  if (offset >= whole_size_) return 0;
  const std::size_t n = std::min(out.size(), whole_size_ - static_cast<std::size_t>(offset));
  if (n > 0) std::memcpy(out.data(), whole_.get() + offset, n);
  return n;
}

std::span<const std::byte> FileSource::View(std::uint64_t offset, std::size_t n) const noexcept {
  if (!whole_ || offset > whole_size_ || n > whole_size_ - offset) return {};
  return {whole_.get() + offset, n};
}

void FileSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > size_ || out.size() > size_ - offset || ReadSome(offset, out) != out.size()) {
    RaiseFailure(FailureKind::kFileTruncated);
  }
}

}  // namespace vexmar::workbook
