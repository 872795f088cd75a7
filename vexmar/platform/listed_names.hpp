#pragma once
// The names a listing finds, gathered in one buffer while the directory is read and then
// handed out in listing order: ordinal order of the upper-cased UTF-16 forms, equal forms
// by the exact names, so the order is total and the same on every platform.
//
// Made for directories of 100,000 names that share long beginnings (candidate numbers):
// gathering avoids one allocation per name while reading, each sort entry carries the
// eight units that follow the beginning all names share (so most comparisons stay in the
// entry), and the names handed out are made in order, so whoever walks them next reads
// memory in sequence.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar {

class ListedNames {
 public:
  void Add(std::u16string_view name);
  std::size_t Count() const noexcept { return names_.size(); }
  // All names in listing order; leaves this empty.
  std::vector<std::u16string> TakeInListingOrder();

 private:
  // Names are copied into chunks that never move once made, so gathering never copies a
  // name twice; each view in names_ points into a chunk.
  std::vector<std::u16string> chunks_;
  std::vector<std::u16string_view> names_;
};

}  // namespace vexmar
