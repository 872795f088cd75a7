#include "vexmar/names/file_name_list.hpp"

#include <utility>

#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {

ClsRepeatName::FileNameList::FileNameList(StringList& list) : list_(list), slots_(16) {
  list_.ResetToPlaceholder();
}

std::uint32_t ClsRepeatName::FileNameList::HashIgnoringCase(std::u16string_view name) noexcept {
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

void ClsRepeatName::FileNameList::Place(Slot slot) noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = slot.hash & mask;
  while (slots_[at].index != 0) at = (at + 1) & mask;
  slots_[at] = slot;
}

void ClsRepeatName::FileNameList::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.index != 0) Place(slot);
  }
}

void ClsRepeatName::FileNameList::Append(std::u16string name) {
  const std::uint32_t hash = HashIgnoringCase(name);
  Append(std::move(name), FileNameLookup{false, hash});
}

void ClsRepeatName::FileNameList::Append(std::u16string name, const FileNameLookup& lookup) {
  list_.Append(std::move(name));
  // At most half full, so probes stay short and a free slot always ends them.
  if (2 * (used_ + 1) > slots_.size()) Grow();
  Place({lookup.hash, list_.UpperBound()});
  ++used_;
}

ClsRepeatName::FileNameLookup ClsRepeatName::FileNameList::Find(std::u16string_view name) const {
  const std::uint32_t hash = HashIgnoringCase(name);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask; slots_[at].index != 0; at = (at + 1) & mask) {
    if (slots_[at].hash == hash && EqualsIgnoreCase(list_.At(slots_[at].index), name)) {
      return {true, hash};
    }
  }
  return {false, hash};
}

}  // namespace vexmar
