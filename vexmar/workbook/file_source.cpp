#include "vexmar/workbook/file_source.hpp"

#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

void FileSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > size_ || out.size() > size_ - offset || ReadSome(offset, out) != out.size()) {
    RaiseFailure(FailureKind::kFileTruncated);
  }
}

}  // namespace vexmar::workbook
