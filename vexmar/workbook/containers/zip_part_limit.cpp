#include "vexmar/workbook/containers/zip_part_limit.hpp"

#include <algorithm>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

std::size_t PartReadLimit::Read(std::span<std::byte> out) {
  if (left_ == 0) {
    // Only a part that goes on beyond the cap is refused, not one that ends at it.
    std::byte probe{};
    if (inner_.Read(std::span(&probe, 1)) == 0) return 0;
    RaiseFailure(FailureKind::kPartTooLongBeforeContent, Utf8ToUtf16Escaped(part_));
  }
  const std::size_t n =
      inner_.Read(out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), left_))));
  left_ -= n;
  taken_ += n;
  return n;
}

}  // namespace vexmar::workbook
