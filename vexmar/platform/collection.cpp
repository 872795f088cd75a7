#include "vexmar/platform/collection.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"

namespace vexmar {
namespace {

// The vector position of a 1-based index; outside 1..count is the subscript error.
std::size_t Position(std::int32_t index, std::size_t count) {
  if (index < 1 || static_cast<std::size_t>(index) > count) {
    Raise(ErrorNumber::kSubscriptOutOfRange);
  }
  return static_cast<std::size_t>(index) - 1;
}

}  // namespace

void Collection::Add(Variant item) {
  // Count must stay expressible as int32.
  if (items_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    Raise(ErrorNumber::kOverflow);
  }
  items_.push_back(std::move(item));
}

std::int32_t Collection::Count() const { return ToInt32(items_.size()); }

void Collection::Reserve(std::size_t count) {
  // Geometric, so that many small reservations do not copy the items each time.
  if (count > items_.capacity()) items_.reserve(std::max(count, 2 * items_.capacity()));
}

const Variant& Collection::Item(std::int32_t index) const {
  return items_[Position(index, items_.size())];
}

void Collection::Remove(std::int32_t index) {
  const std::size_t at = Position(index, items_.size());
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace vexmar
