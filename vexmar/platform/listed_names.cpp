// The listing order, and the gathering of names that serves it.
#include <algorithm>
#include <array>
#include <cstring>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/listed_names.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {
namespace {

// Ordinal comparison of two runs of UTF-16 units: <0, 0, >0. Equal stretches are skipped
// four units at a time.
int CompareUnits(std::u16string_view a, std::u16string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i + 4 <= common; i += 4) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a.data() + i, sizeof x);
    std::memcpy(&y, b.data() + i, sizeof y);
    if (x != y) break;
  }
  for (; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Four units from `from` on, packed so that integer order is their ordinal order. Units
// beyond the end count as 0, below every unit a name holds (names have no NUL), so the
// shorter of two runs that agree up to its end sorts first, as it should.
std::uint64_t PackUnits(std::u16string_view key, std::size_t from) noexcept {
  std::uint64_t packed = 0;
  for (std::size_t i = from; i < from + 4; ++i) {
    packed = (packed << 16) | (i < key.size() ? key[i] : 0u);
  }
  return packed;
}

struct Entry {
  std::uint64_t cached_high;  // key units shared+0 .. shared+3
  std::uint64_t cached_low;   // key units shared+4 .. shared+7
  std::size_t name;           // its index in the order of gathering
};

// Below this many names a comparison sort is as fast.
constexpr std::size_t kRadixThreshold = 2048;

// Stable LSD radix sort by cached_high, a byte at a time; a byte that is the same in
// every entry (the high bytes of ASCII units) costs one counting pass and no moves.
void RadixSortByHigh(std::vector<Entry>& entries) {
  std::vector<Entry> buffer(entries.size());
  for (unsigned shift = 0; shift < 64; shift += 8) {
    std::array<std::size_t, 256> counts{};
    for (const Entry& entry : entries) ++counts[(entry.cached_high >> shift) & 0xFF];
    if (std::find(counts.begin(), counts.end(), entries.size()) != counts.end()) continue;
    std::size_t position = 0;
    for (std::size_t& count : counts) {
      const std::size_t start = position;
      position += count;
      count = start;
    }
    for (const Entry& entry : entries)
      buffer[counts[(entry.cached_high >> shift) & 0xFF]++] = entry;
    entries.swap(buffer);
  }
}

}  // namespace

void ListedNames::Add(std::u16string_view name) {
  constexpr std::size_t kChunkUnits = 32 * 1024;
  if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < name.size()) {
    chunks_.emplace_back().reserve(std::max(kChunkUnits, name.size()));
  }
  std::u16string& chunk = chunks_.back();
  const std::size_t at = chunk.size();
  chunk.append(name);  // within the reserved capacity: the chunk's data stays put
  names_.emplace_back(chunk.data() + at, name.size());
}

namespace {

// The sort keys of the gathered names: their upper-cased forms one after the other in one
// buffer, and what every entry needs to compare two of them.
class ListingKeys {
 public:
  explicit ListingKeys(const std::vector<std::u16string_view>& names) : names_(names) {
    std::size_t total = 0;
    for (const auto name : names_) total += name.size();
    upper_.assign(total, u'\0');
    offsets_.reserve(names_.size());
    std::size_t filled = 0;
    for (const auto name : names_) {
      offsets_.push_back(filled);
      for (const char16_t unit : name) upper_[filled++] = ToUpperUnit(unit);
    }
    shared_ = SharedBeginning();
  }

  std::u16string_view Key(std::size_t i) const {
    return std::u16string_view(upper_).substr(offsets_[i], names_[i].size());
  }

  // Entries carry the eight units after the beginning all keys share.
  std::vector<Entry> Entries() const {
    std::vector<Entry> entries;
    entries.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) {
      const std::u16string_view key = Key(i);
      entries.push_back({PackUnits(key, shared_), PackUnits(key, shared_ + 4), i});
    }
    return entries;
  }

  // Listing order: by the cached units, then by the rest of the keys, then by the exact
  // names, so that the order is total.
  bool Less(const Entry& a, const Entry& b) const {
    if (a.cached_high != b.cached_high) return a.cached_high < b.cached_high;
    if (a.cached_low != b.cached_low) return a.cached_low < b.cached_low;
    const std::size_t compared_from = shared_ + 8;
    const std::u16string_view key_a = Key(a.name);
    const std::u16string_view key_b = Key(b.name);
    if (key_a.size() > compared_from || key_b.size() > compared_from) {
      const int by_key = CompareUnits(key_a.substr(std::min(key_a.size(), compared_from)),
                                      key_b.substr(std::min(key_b.size(), compared_from)));
      if (by_key != 0) return by_key < 0;
    }
    return CompareUnits(names_[a.name], names_[b.name]) < 0;
  }

 private:
  std::size_t SharedBeginning() const {
    if (names_.empty()) return 0;
    const std::u16string_view first = Key(0);
    std::size_t shared = first.size();
    for (std::size_t i = 1; i < names_.size() && shared > 0; ++i) {
      const std::u16string_view key = Key(i);
      std::size_t same = 0;
      while (same < shared && same < key.size() && first[same] == key[same]) ++same;
      shared = same;
    }
    return shared;
  }

  const std::vector<std::u16string_view>& names_;
  std::u16string upper_;
  std::vector<std::size_t> offsets_;
  std::size_t shared_ = 0;
};

void SortEntries(std::vector<Entry>& entries, const ListingKeys& keys) {
  auto less = [&keys](const Entry& a, const Entry& b) { return keys.Less(a, b); };
  if (entries.size() < kRadixThreshold) {
    std::sort(entries.begin(), entries.end(), less);
    return;
  }
  // Large listings: order by the first four cached units in linear time, then sort the
  // (usually short) runs that agree on them.
  RadixSortByHigh(entries);
  for (auto run = entries.begin(); run != entries.end();) {
    auto run_end = run + 1;
    while (run_end != entries.end() && run_end->cached_high == run->cached_high) ++run_end;
    if (run_end - run > 1) std::sort(run, run_end, less);
    run = run_end;
  }
}

}  // namespace

std::vector<std::u16string> ListedNames::TakeInListingOrder() {
  std::vector<std::u16string> sorted;
  {
    const ListingKeys keys(names_);
    std::vector<Entry> entries = keys.Entries();
    SortEntries(entries, keys);
    sorted.reserve(entries.size());
    for (const Entry& entry : entries) sorted.emplace_back(names_[entry.name]);
  }
  names_.clear();
  chunks_.clear();
  return sorted;
}

void SortInListingOrder(std::vector<std::u16string>& names) {
  ListedNames listed;
  for (const auto& name : names) listed.Add(name);
  names = listed.TakeInListingOrder();
}

}  // namespace vexmar
