#pragma once
// The contract's string list: a one-dimensional array of strings with lower bound 0
// and an upper bound, or "absent" (no bounds at all, as a never-dimensioned array).
// Any read outside the bounds, or of the bounds of an absent list, is the
// subscript-out-of-range error.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "vexmar/component/export.hpp"

namespace vexmar {

class VEXMAR_API StringList {
 public:
  StringList() = default;  // absent
  StringList(std::initializer_list<std::u16string> items);  // lower bound 0
  static StringList FromVector(std::vector<std::u16string> items);

  bool HasBounds() const noexcept { return !absent_; }
  std::int32_t LowerBound() const;  // always 0 when present
  std::int32_t UpperBound() const;  // -1 is never seen: a present list has an item

  const std::u16string& At(std::int32_t index) const;
  void Set(std::int32_t index, std::u16string value);

  // A single empty item at index 0: the state every routine starts its list from.
  void ResetToPlaceholder();
  // Items 0..upper, every one empty (discards the old items).
  void Redim(std::int32_t upper);
  // Grows by one item at the end, keeping the items, and stores `value` there.
  void Append(std::u16string value);
  // Back to absent.
  void Clear() noexcept;

  // The items 0..upper in order (empty when absent).
  std::span<const std::u16string> Items() const noexcept { return items_; }

  friend bool operator==(const StringList&, const StringList&) = default;

 private:
  std::vector<std::u16string> items_;
  bool absent_ = true;
};

}  // namespace vexmar
