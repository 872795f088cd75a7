#include "vexmar/names/file_name_list.hpp"

#include <utility>

#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {

FileNameList::FileNameList(StringList& list) : list_(list) { list_.ResetToPlaceholder(); }

void FileNameList::Append(std::u16string name) {
  list_.Append(std::move(name));
  if (index_every_append_) IndexAll();
}

std::uint32_t FileNameList::HashIgnoringCase(std::u16string_view name) noexcept {
  // Over the upper-cased units, four at a time, so names equal but for case hash alike.
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  std::uint64_t hash = name.size();
  std::size_t i = 0;
  while (i < name.size()) {
    std::uint64_t packed = 0;
    for (const std::size_t end = i + 4; i < end && i < name.size(); ++i) {
      packed = (packed << 16) | ToUpperUnit(name[i]);
    }
    hash = (hash ^ packed) * kMultiplier;
    hash ^= hash >> 29;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

void FileNameList::IndexAll() {
  const std::int32_t upper = list_.UpperBound();
  if (indexed_ == upper) return;
  // At most half full, so probes stay short and a free slot always ends them.
  std::size_t slot_count = slots_.empty() ? 16 : slots_.size();
  while (slot_count / 2 < static_cast<std::size_t>(upper)) slot_count *= 2;
  if (slot_count != slots_.size()) Rebuild(slot_count);
  for (std::int32_t i = indexed_ + 1; i <= upper; ++i) {
    Place({HashIgnoringCase(list_.At(i)), i});
  }
  indexed_ = upper;
}

bool FileNameList::IsIndexed(std::u16string_view name) const {
  if (indexed_ == 0) return false;
  const std::uint32_t hash = HashIgnoringCase(name);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask; slots_[at].index != 0; at = (at + 1) & mask) {
    if (slots_[at].hash == hash && EqualsIgnoreCase(list_.At(slots_[at].index), name)) {
      return true;
    }
  }
  return false;
}

void FileNameList::Place(Slot slot) noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = slot.hash & mask;
  while (slots_[at].index != 0) at = (at + 1) & mask;
  slots_[at] = slot;
}

void FileNameList::Rebuild(std::size_t slot_count) {
  std::vector<Slot> old(slot_count);
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.index != 0) Place(slot);
  }
}

FileNameSearch::FileNameSearch(FileNameList& list) : list_(list) {
  // Everything listed before the search is looked up in the index.
  list_.IndexAll();
  list_.index_every_append_ = false;
}

bool FileNameSearch::IsListed(std::u16string_view name) {
  if (in_order_ && has_previous_) {
    const int order = CompareIgnoreCase(previous_, name);
    // The previous name is listed (found or appended): an equal one is too.
    if (order == 0) return true;
    if (order > 0) {
      // Out of listing order: from here on every name is looked up in the index.
      in_order_ = false;
      list_.IndexAll();
      list_.index_every_append_ = true;
    }
  }
  if (in_order_) {
    previous_.assign(name);
    has_previous_ = true;
  }
  // In order, a name that differs from the previous one differs from every name this
  // search has given, so only the names from before the search remain to be checked.
  return list_.IsIndexed(name);
}

void FileNameSearch::Append(std::u16string name) { list_.Append(std::move(name)); }

}  // namespace vexmar
