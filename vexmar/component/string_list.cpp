#include "vexmar/component/string_list.hpp"

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"

namespace vexmar {

StringList::StringList(std::initializer_list<std::u16string> items)
    : items_(items), absent_(items_.empty()) {}

StringList StringList::FromVector(std::vector<std::u16string> items) {
  StringList list;
  list.absent_ = items.empty();
  list.items_ = std::move(items);
  return list;
}

std::int32_t StringList::LowerBound() const {
  if (absent_) Raise(ErrorNumber::kSubscriptOutOfRange);
  return 0;
}

std::int32_t StringList::UpperBound() const {
  if (absent_) Raise(ErrorNumber::kSubscriptOutOfRange);
  return ToInt32(items_.size()) - 1;
}

const std::u16string& StringList::At(std::int32_t index) const {
  if (absent_ || index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    Raise(ErrorNumber::kSubscriptOutOfRange);
  }
  return items_[static_cast<std::size_t>(index)];
}

void StringList::Set(std::int32_t index, std::u16string value) {
  if (absent_ || index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    Raise(ErrorNumber::kSubscriptOutOfRange);
  }
  items_[static_cast<std::size_t>(index)] = std::move(value);
}

void StringList::ResetToPlaceholder() { Redim(0); }

void StringList::Redim(std::int32_t upper) {
  if (upper < 0) Raise(ErrorNumber::kSubscriptOutOfRange);
  std::vector<std::u16string> fresh(static_cast<std::size_t>(upper) + 1);
  items_.swap(fresh);
  absent_ = false;
}

void StringList::Append(std::u16string value) {
  const std::int32_t upper = CheckedAdd(UpperBound(), 1);
  items_.resize(static_cast<std::size_t>(upper) + 1);
  items_.back() = std::move(value);
}

void StringList::Clear() noexcept {
  items_.clear();
  items_.shrink_to_fit();
  absent_ = true;
}

}  // namespace vexmar
